#pragma once
// Helpers every list and edit module uses to dress its grids and data sets: captions and
// hidden columns from module parameters, labels of edit forms, columns from fields, the saved
// column layout, spreadsheet export, printing, the category tree, row keys and the merge of a
// save answer.
#include <QString>

class QTreeWidget;
class QWidget;
class TGridView;
class TKxPager;
class TPClientDataSet;

// The text the last row key was made from; empty at start.
extern QString RandomStr;

// "name=caption;..." : each column whose field has a non-empty caption gets it (names compare
// without regard to letter case).
void TableViewDispay(TGridView* view, const QString& captions);
// "name;...": hides the first column bound to each name (letter case counts).
void DisTableViewDispay(TGridView* view, const QString& hiddenFields);
// "name;...": removes the first column bound to each name (letter case counts), so neither
// the column settings nor a saved layout can bring it back.
void RemoveGridColumns(TGridView* view, const QString& fields);
// Labels named in the caption string get the caption and "：", check boxes the caption.
void FormViewDispay(QWidget* container, const QString& captions);
// A read-only column for every field without one (md5_key never); numbers as "0.00".
void SetGridColumn(TPClientDataSet* dataSet, TGridView* view);
// Applies the layout kept under `key` in "ColsDef.xml" beside the program.
void GetGridColumnVisible(const QString& key, TGridView* view);
// Lets the operator edit that layout, and applies it when confirmed.
void SetGridColumnVisible(const QString& key, TGridView* view);
// Asks for a file name and writes the grid as an Excel workbook (.xls).
void ExportGridToExcel(TGridView* grid, bool expand, bool saveAll, bool native, const QString& extension);
// "导出Excel" of a paged list: while pages are still to come, offers to load them first
// ("共 963 条，已载入 100 条，是否全部导出？"), then exports the rows loaded.
void ExportPagedGridToExcel(TGridView* grid, TKxPager* pager);
// A filter written "description|patterns|description|patterns" in the form the file dialog
// reads ("description (patterns);;..."); a filter without "|" is returned as it is.
QString KxFileDialogFilter(const QString& filter);
void GridPrint(TGridView* grid);
void GridPreview(TGridView* grid);
// Builds the category tree (parent_id, child_id, child_name) under a root "所有类别".
void SetTreeView(QTreeWidget* tree, TPClientDataSet* dataSet);
// Merges the rows of a save answer into the data set by md5_key (lines also by seq) and
// leaves it without pending changes.
void UnionCDS(TPClientDataSet* dataSet, const QString& packet);
// A fresh row key: 32 lower-case hexadecimal digits.
QString GetMd5_Key();
// Ticks a check field on every loaded row (or turns each tick over), display suspended meanwhile;
// the cursor ends on the first row.
void KxTickAll(TPClientDataSet* dataSet, const QString& field, bool invert = false);

// The tree item role holding a category's child_id (the root holds none).
constexpr int KxTreeIdRole = 0x0100 + 40;
// The tree item role holding the image index (0 root, 1 category).
constexpr int KxTreeImageRole = 0x0100 + 41;
