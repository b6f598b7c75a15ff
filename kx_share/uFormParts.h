#pragma once
// Pieces every list and edit window builds the same way: a row of tool buttons from a table
// of ids, captions and handlers, finding a button by its id (or caption), the rights table,
// the keyword highlight of a grid (cells containing the keyword drawn bold in red), and
// fetching one page of a paged list.
#include <QKeySequence>
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
class TResponse;
class TfrmBase;

// The ids of the tool buttons, which code uses instead of their captions (the object name of
// each button).
namespace KxTool {
inline constexpr char Search[] = "dxBL_Search";
inline constexpr char Refresh[] = "dxBL_Refresh";
inline constexpr char New[] = "dxBL_New";
inline constexpr char Edit[] = "dxBL_Edit";
inline constexpr char Insert[] = "dxBL_Insert";
inline constexpr char Delete[] = "dxBL_Delete";
inline constexpr char Save[] = "dxBL_Save";
inline constexpr char Audit[] = "dxBL_Audit";
inline constexpr char Export[] = "dxBL_Export";
inline constexpr char Print[] = "dxBL_Print";
inline constexpr char Preview[] = "dxBL_Preview";
inline constexpr char PrintReport[] = "dxBL_PrintReport";
inline constexpr char Columns[] = "dxBL_Columns";
inline constexpr char Exit[] = "dxBL_Exit";
inline constexpr char Next[] = "btnNext";
inline constexpr char Remain[] = "btnRemain";
inline constexpr char Pause[] = "btnPause";
} // namespace KxTool

struct TKxAction {
    const char* id;            // object name, one of KxTool
    const char* text;          // UTF-8 caption
    std::function<void()> run; // empty: the button closes the window
};

// One button per action, added to `layout` in order and appended to `buttons`. Every tool
// row has the same height; a tool shows its icon beside the caption, and the usual tools
// answer their key while the focus is inside `owner` (Ctrl+F "查 询", F5 "刷 新", Ctrl+N
// "新 建", Ctrl+S "保 存", Delete "删 除", Esc "退 出"), named in the tooltip. A key does
// what a click does, so a disabled or hidden button ignores it; Delete acts only from the
// rows (a grid has the focus); Esc in a cell being edited only leaves the cell.
void KxAddButtons(QWidget* owner, QBoxLayout* layout, const QList<TKxAction>& actions,
                  QList<QPushButton*>& buttons);
// As KxAddButtons, the new buttons placed in `layout` after the button `afterId` (at the end
// when there is none), in order.
void KxInsertButtons(QWidget* owner, QBoxLayout* layout, const char* afterId, std::initializer_list<TKxAction> actions,
                     QList<QPushButton*>& buttons);
// The key of a tool id (empty when it has none).
QKeySequence KxToolKey(const char* id);
// The height of every tool row's buttons.
constexpr int KxToolHeight = 28;
// By caption (for what the operator sees) or by id (for code).
QPushButton* KxFindButton(const QList<QPushButton*>& buttons, const QString& text);
QPushButton* KxFindTool(const QList<QPushButton*>& buttons, const char* id);

// One row of a window's rights table: the buttons (by id) that a right enables.
struct TKxRight {
    const char* key; // "isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"
    QList<const char*> tools;
};
// Enables each listed button when the form grants its right and disables it otherwise; a
// button the window does not have is skipped.
void KxApplyRights(TfrmBase* form, const QList<QPushButton*>& buttons, const QList<TKxRight>& rights);

// A window a form opens as its own dialog (no module answer behind it): modal, so that
// closing it leaves freeing it to its owner.
void KxMakeDialog(TfrmBase* form);

// Enter in `editor` moves the focus on as Tab does (past what cannot take it); an open
// drop-down keeps Enter as its choice.
void KxEnterMovesOn(QWidget* editor);

// Each key press in `keyword` repaints the grid; a cell whose text contains the trimmed
// keyword (letter case counts) is drawn bold in red, a password cell never. An empty keyword
// marks nothing. Added after the grid's other painting hooks.
void KxHighlightKeyword(TGridView* grid, QLineEdit* keyword);

// One page of a paged list from `method`: the saved conditions, then the form's call
// parameters, then "curpage". Page -1 is a form's opening call: it goes out as 0 when the form
// has call parameters and counts as page 0 afterwards. Page 1 empties `into` first; other
// pages are appended. The pager takes "pagecount" and "recordcount". False when the call
// failed (already shown): `into` and the pager stay as they were.
// `prepare`, when given, adds the list's own parameters first; `afterCall` adds parameters
// after the call parameters, before "curpage". The rows come from the answer value `listName`;
// `arrived`, when given, reads what else the answer holds (the lines of a master/detail list)
// for the page as it is counted (-1 as 0), before the pager takes the counts.
bool KxSearchPage(TfrmBase* form, const QString& method, const QStringList& conditions, int page,
                  TPClientDataSet* into, TKxPager* pager, const std::function<void(TRequest*)>& prepare = {},
                  const std::function<void(TRequest*)>& afterCall = {}, const QString& listName = QStringLiteral("xmldata"),
                  const std::function<void(TResponse*, int)>& arrived = {});
// "查 询": the search dialog over the form's "searchfile", titled with the form's caption and
// "查询". True, with the conditions, when the operator confirmed it.
bool KxAskSearchConditions(TfrmBase* form, QStringList* conditions);

// The save of a list or a dialog: `dataSet`'s change log (taken before asking, sent even when
// empty) as the file part "delta" to `method`, after "真的需要提交修改吗？"; the answer's
// "xmldata" merged with UnionCDS and "数据提交成功！" shown. A row still being typed is
// posted first. False when nothing was saved: the changes stay pending.
bool KxSaveDelta(const QString& method, TPClientDataSet* dataSet);

// A master record and its lines saved in one request: "deltamaster" and "deltadetail" to
// `method`, each only when that data set has pending changes, after "真的需要提交修改吗？";
// the answer's "xmlmaster" and "xmldetail" merged with UnionCDS and "数据提交成功！" shown.
enum class TKxSaveResult { Unchanged, Cancelled, Failed, Saved };
TKxSaveResult KxSaveMasterDetail(const QString& method, TPClientDataSet* master, TPClientDataSet* detail);
