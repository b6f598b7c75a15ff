#pragma once
// Paints a grid as printed pages: a title and the search conditions on top, the visible
// columns (never password columns) fitted to the page width with long texts wrapped, a
// header row on every page, the footer sums after the last row, and "第 n 页/共 m 页" under
// every page. A grid wider than a portrait page prints landscape.
#include <QPageLayout>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class TGridView;

struct TGridPrintOptions {
    QString Title;          // printed above the first page's rows when not empty
    bool Footers = false;   // the grid's footer sums after the last row
    QStringList Conditions = {}; // "查询条件：" under the title, when any
};

void KxRenderGrid(TGridView* grid, QPagedPaintDevice* device, const TGridPrintOptions& options);
// Landscape when the grid's columns are wider than a portrait page of `device`.
QPageLayout::Orientation KxGridOrientation(TGridView* grid, QPagedPaintDevice* device);
// The print dialog, then the pages; the preview ("打印预览", maximised). Both shown through
// the UI facade.
void KxPrintGrid(TGridView* grid, const TGridPrintOptions& options);
void KxPreviewGrid(TGridView* grid, const TGridPrintOptions& options);
