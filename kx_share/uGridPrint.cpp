#include "uGridPrint.h"

#include "uGridView.h"
#include "uUiHooks.h"
#include "ufrmBase.h"

#include <QHeaderView>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

QList<TGridColumn*> printedColumns(TGridView* grid)
{
    QList<TGridColumn*> cols;
    QHeaderView* h = grid->horizontalHeader();
    // In the order the operator sees them.
    for (int k = 0; k < h->count(); ++k) {
        TGridColumn* c = grid->Column(h->logicalIndex(k));
        if (c && c->Visible && c->Editor != TGridEditor::Password)
            cols << c;
    }
    return cols;
}

int totalWidth(const QList<TGridColumn*>& cols)
{
    int total = 0;
    for (const TGridColumn* c : cols)
        total += qMax(1, c->Width);
    return total;
}

// Screen pixels of the columns against the printable width of a portrait page.
bool wideForPortrait(TGridView* grid, const QPageLayout& layout)
{
    QPageLayout portrait = layout;
    portrait.setOrientation(QPageLayout::Portrait);
    const double inches = portrait.paintRect(QPageLayout::Inch).width();
    return totalWidth(printedColumns(grid)) > inches * grid->logicalDpiX();
}

QString cellText(TGridModel* m, int row, TGridColumn* c, int column)
{
    QString text = m->CellText(m->RecordOf(row), c);
    if (text.isEmpty()) {
        const QVariant check = m->data(m->index(row, column), Qt::CheckStateRole);
        if (check.isValid())
            text = check.toInt() == Qt::Checked ? QStringLiteral("√") : QString();
    }
    return text;
}

} // namespace

QPageLayout::Orientation KxGridOrientation(TGridView* grid, QPagedPaintDevice* device)
{
    return wideForPortrait(grid, device->pageLayout()) ? QPageLayout::Landscape : QPageLayout::Portrait;
}

void KxRenderGrid(TGridView* grid, QPagedPaintDevice* device, const TGridPrintOptions& options)
{
    const QList<TGridColumn*> cols = printedColumns(grid);
    QPainter p(device);
    if (!p.isActive() || cols.isEmpty())
        return;
    QFont font = grid->font();
    font.setPointSizeF(9);
    QFont bold = font;
    bold.setBold(true);
    QFont titleFont = font;
    titleFont.setPointSizeF(14);
    titleFont.setBold(true);
    p.setFont(font);
    const QRect paint = device->pageLayout().paintRectPixels(device->logicalDpiX());
    const QRect page(0, 0, paint.width(), paint.height());
    const QFontMetrics fm(font, device);
    const QFontMetrics bfm(bold, device);
    const int pad = fm.height() / 4;
    const int lineH = fm.height();
    const int minRowH = lineH + 2 * pad;
    const int footH = lineH * 2;
    const int bottom = page.height() - footH;

    // Columns share the page width as they share the screen.
    const double scale = double(page.width()) / totalWidth(cols);
    QList<int> xs{0};
    for (const TGridColumn* c : cols)
        xs << xs.last() + int(qMax(1, c->Width) * scale);
    xs.last() = page.width() - 1;

    TGridModel* m = grid->GridModel();
    const int flags = Qt::TextWordWrap | Qt::TextWrapAnywhere;
    auto textRect = [&](int i) { return QRect(0, 0, xs[i + 1] - xs[i] - 2 * pad, 100000); };
    auto rowHeight = [&](const QStringList& texts, const QFontMetrics& metrics) {
        int h = minRowH;
        for (int i = 0; i < texts.size(); ++i)
            h = qMax(h, metrics.boundingRect(textRect(i), flags, texts[i]).height() + 2 * pad);
        return qMin(h, bottom / 2); // a cell taller than half a page is cut
    };
    QList<QStringList> rows;
    rows.reserve(m->rowCount());
    QList<bool> right;
    for (TGridColumn* c : cols)
        right << (m->data(m->index(0, grid->IndexOfColumn(c)), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList texts;
        for (TGridColumn* c : cols)
            texts << cellText(m, r, c, grid->IndexOfColumn(c));
        rows << texts;
    }
    QStringList captions;
    for (const TGridColumn* c : cols)
        captions << c->Caption;
    QStringList footers;
    if (options.Footers)
        for (const TGridColumn* c : cols)
            footers << grid->FooterText(c);

    // The heading of the first page.
    QStringList heading;
    if (!options.Conditions.isEmpty())
        heading << QStringLiteral("查询条件：") + options.Conditions.join(QStringLiteral("；"));
    const int titleH = options.Title.isEmpty() ? 0 : QFontMetrics(titleFont, device).height() * 2;
    int headingH = 0;
    for (const QString& line : heading)
        headingH += fm.boundingRect(QRect(0, 0, page.width(), 100000), flags, line).height() + pad;
    const int captionH = rowHeight(captions, bfm);

    // Lay the rows out on pages first, so every page knows the page count.
    QList<int> firstRowOfPage{0};
    {
        int y = titleH + headingH + captionH;
        for (int r = 0; r < rows.size(); ++r) {
            const int h = rowHeight(rows[r], fm);
            if (y + h > bottom && y > captionH) {
                firstRowOfPage << r;
                y = captionH;
            }
            y += h;
        }
        if (options.Footers && y + minRowH > bottom)
            firstRowOfPage << int(rows.size());
    }
    const int pages = int(firstRowOfPage.size());

    auto drawRow = [&](int y, const QStringList& texts, int h, bool isBold, bool alignRight) {
        p.setFont(isBold ? bold : font);
        for (int i = 0; i < texts.size(); ++i) {
            const QRect r(xs[i], y, xs[i + 1] - xs[i], h);
            p.drawRect(r);
            const bool toRight = (alignRight && !(i == 0 && texts[i] == QStringLiteral("合计"))) || (!isBold && right[i]);
            const int align = (toRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
            p.drawText(r.adjusted(pad, pad, -pad, -pad), align | flags, texts[i]);
        }
    };
    for (int pg = 0; pg < pages; ++pg) {
        if (pg > 0)
            device->newPage();
        int y = 0;
        if (pg == 0) {
            if (titleH > 0) {
                p.setFont(titleFont);
                p.drawText(QRect(0, 0, page.width(), titleH), Qt::AlignCenter, options.Title);
                y += titleH;
            }
            p.setFont(font);
            for (const QString& line : heading) {
                const QRect r = fm.boundingRect(QRect(0, y, page.width(), 100000), flags, line);
                p.drawText(QRect(0, y, page.width(), r.height()), Qt::AlignLeft | flags, line);
                y += r.height() + pad;
            }
        }
        drawRow(y, captions, captionH, true, false);
        y += captionH;
        const int end = pg + 1 < pages ? firstRowOfPage[pg + 1] : int(rows.size());
        for (int r = firstRowOfPage[pg]; r < end; ++r) {
            const int h = rowHeight(rows[r], fm);
            drawRow(y, rows[r], h, false, false);
            y += h;
        }
        if (options.Footers && pg + 1 == pages) {
            if (!footers.isEmpty() && footers[0].isEmpty())
                footers[0] = QStringLiteral("合计");
            drawRow(y, footers, minRowH, true, true);
        }
        p.setFont(font);
        p.drawText(QRect(0, bottom, page.width(), footH), Qt::AlignCenter,
                   QStringLiteral("第 %1 页/共 %2 页").arg(pg + 1).arg(pages));
    }
}

void KxPrintGrid(TGridView* grid, const TGridPrintOptions& options)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(KxGridOrientation(grid, &printer));
    QPrintDialog dlg(&printer, grid->window());
    if (KxUi().ShowModal(&dlg) != mrOk)
        return;
    KxRenderGrid(grid, &printer, options);
}

void KxPreviewGrid(TGridView* grid, const TGridPrintOptions& options)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(KxGridOrientation(grid, &printer));
    QPrintPreviewDialog dlg(&printer, grid->window());
    dlg.setWindowTitle(QStringLiteral("打印预览"));
    dlg.setWindowState(dlg.windowState() | Qt::WindowMaximized);
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, grid,
                     [grid, options](QPrinter* p) { KxRenderGrid(grid, p, options); });
    KxUi().ShowModal(&dlg);
}
