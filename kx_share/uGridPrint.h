#pragma once
// Paints a grid as printed pages: the visible columns (never password columns) scaled to the
// page width, a header row on every page, optional title and footer line.
#include <QString>

class QPagedPaintDevice;
class TGridView;

struct TGridPrintOptions {
    QString Title;        // printed above the first page's rows when not empty
    bool Footers = false; // the grid's footer sums after the last row
};

void KxRenderGrid(TGridView* grid, QPagedPaintDevice* device, const TGridPrintOptions& options);
