#pragma once
// Pieces every list and edit window builds the same way: a row of tool buttons from a table
// of captions and handlers, finding a button by its caption, and the keyword highlight of a
// grid (cells containing the keyword drawn bold in red), and fetching one page of a paged list.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>

class QBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;
class TGridView;
class TKxPager;
class TPClientDataSet;
class TRequest;
class TfrmBase;

struct TKxAction {
    const char* text;          // UTF-8 caption
    std::function<void()> run; // empty: the button closes the window
};

// One button per action, added to `layout` in order and appended to `buttons`.
void KxAddButtons(QWidget* owner, QBoxLayout* layout, std::initializer_list<TKxAction> actions,
                  QList<QPushButton*>& buttons);
QPushButton* KxFindButton(const QList<QPushButton*>& buttons, const QString& text);
// Each key press in `keyword` repaints the grid; a cell whose text contains the trimmed
// keyword (letter case counts) is drawn bold in red, a password cell never. An empty keyword
// marks nothing.
void KxHighlightKeyword(TGridView* grid, QLineEdit* keyword);

// One page of a paged list from `method`: the saved conditions, then the form's call
// parameters, then "curpage". Page -1 is a form's opening call: it goes out as 0 when the form
// has call parameters and counts as page 0 afterwards. Page 1 empties `into` first; other
// pages are appended. The pager takes "pagecount" and "recordcount". False when the call
// failed (already shown): `into` and the pager stay as they were.
// `prepare`, when given, adds the list's own parameters first.
bool KxSearchPage(TfrmBase* form, const QString& method, const QStringList& conditions, int page,
                  TPClientDataSet* into, TKxPager* pager, const std::function<void(TRequest*)>& prepare = {});
// "查 询": the search dialog over the form's "searchfile", titled with the form's caption and
// "查询". True, with the conditions, when the operator confirmed it.
bool KxAskSearchConditions(TfrmBase* form, QStringList* conditions);
