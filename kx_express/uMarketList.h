#pragma once
// What the two marketplace lists (orders, refunds) share: the row of quick tabs with the quick
// filter box, the side panel of two notes over the item's picture, the filter a tab and a typed
// text make, and the code-list columns.
#include <QString>
#include <QStringList>

class QHBoxLayout;
class QLineEdit;
class QPlainTextEdit;
class QTabBar;
class QWidget;
class TGridView;
class TKxPicturePanel;
class TPClientDataSet;

// A text value for a filter, quoted so that a quote inside stays part of the value.
QString KxFilterQuoted(const QString& v);

// A tab's filter part combined with the quick filter: the typed text (a prefix, "*" appended)
// matched against the buyer and the list's own number field.
QString KxMarketFilter(const QString& tabPart, const QString& quick, const QString& numberField);

// The tab a window starts on: without fixed conditions the first; with them the one a
// "tab=<caption>" line names (a queue of the home tab opens the orders on "未拣货"), else
// `fallback` (the tab showing everything).
int KxStartTab(const QStringList& fixed, const char* const* captions, int count, int fallback);

// The tabs (each caption padded as the marketplace lists show them) and "快捷过滤：" with its box.
QHBoxLayout* KxMarketFilterRow(QWidget* parent, QTabBar* tabs, const char* const* captions, int count, QLineEdit* quick);

// Two labelled notes over the picture. The notes take what the picture leaves: their own wish
// for height would push the list above them down to a row or two.
QWidget* KxMarketSidePanel(QWidget* parent, const QString& first, QPlainTextEdit* firstBox, const QString& second,
                           QPlainTextEdit* secondBox, TKxPicturePanel* picture);

// A column of status codes shown by the code list's names ("status" → "statusname").
void KxStatusColumn(TGridView* grid, const QString& field, TPClientDataSet* list);
