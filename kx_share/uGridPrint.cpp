#include "uGridPrint.h"

#include "uGridView.h"

#include <QPagedPaintDevice>
#include <QPainter>

void KxRenderGrid(TGridView* grid, QPagedPaintDevice* device, const TGridPrintOptions& options)
{
    QList<TGridColumn*> cols;
    int total = 0;
    for (TGridColumn* c : grid->VisibleColumns())
        if (c->Editor != TGridEditor::Password) {
            cols << c;
            total += qMax(1, c->Width);
        }
    QPainter p(device);
    if (!p.isActive() || cols.isEmpty())
        return;
    QFont font = grid->font();
    font.setPointSizeF(9);
    p.setFont(font);
    const QRect page = device->pageLayout().paintRectPixels(device->logicalDpiX()).translated(-device->pageLayout().paintRectPixels(device->logicalDpiX()).topLeft());
    const QFontMetrics fm(font, device);
    const int rowH = fm.height() + fm.height() / 2;
    const double scale = double(page.width()) / total;
    QList<int> xs{0};
    for (const TGridColumn* c : cols)
        xs << xs.last() + int(qMax(1, c->Width) * scale);

    TGridModel* m = grid->GridModel();
    int y = 0;
    auto cell = [&](int i, const QString& text, bool right, bool bold) {
        const QRect r(xs[i], y, xs[i + 1] - xs[i], rowH);
        p.drawRect(r);
        QFont f = font;
        f.setBold(bold);
        p.setFont(f);
        p.drawText(r.adjusted(rowH / 6, 0, -rowH / 6, 0), (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                   fm.elidedText(text, Qt::ElideRight, r.width() - rowH / 3));
    };
    auto header = [&] {
        for (int i = 0; i < cols.size(); ++i)
            cell(i, cols[i]->Caption, false, true);
        y += rowH;
    };
    if (!options.Title.isEmpty()) {
        QFont f = font;
        f.setPointSizeF(12);
        p.setFont(f);
        p.drawText(QRect(0, 0, page.width(), rowH * 2), Qt::AlignCenter, options.Title);
        y += rowH * 2;
    }
    header();
    for (int r = 0; r < m->rowCount(); ++r) {
        if (y + rowH > page.height()) {
            device->newPage();
            y = 0;
            header();
        }
        for (int i = 0; i < cols.size(); ++i) {
            const bool right = m->data(m->index(r, grid->IndexOfColumn(cols[i])), Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
            QString text = m->CellText(r, cols[i]);
            if (text.isEmpty()) {
                const QVariant check = m->data(m->index(r, grid->IndexOfColumn(cols[i])), Qt::CheckStateRole);
                if (check.isValid())
                    text = check.toInt() == Qt::Checked ? QStringLiteral("√") : QString();
            }
            cell(i, text, right, false);
        }
        y += rowH;
    }
    if (options.Footers) {
        if (y + rowH > page.height()) {
            device->newPage();
            y = 0;
        }
        for (int i = 0; i < cols.size(); ++i)
            cell(i, grid->FooterText(cols[i]), true, true);
    }
}
