// The grid over 100,000 rows: time to show it and to scroll it end to end, the time of a
// header sort of the loaded rows by a number and by a text, and of a local filter.
#include "uGridView.h"
#include "uPClientDataSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    constexpr int rows = 100000;
    TPClientDataSet ds;
    ds.FieldDefs().Add("code", ftString, 20);
    ds.FieldDefs().Add("name", ftString, 40);
    ds.FieldDefs().Add("qty", ftInteger);
    ds.FieldDefs().Add("price", ftDecimal, 0, 18, 2);
    ds.CreateDataSet();
    ds.DisableControls();
    for (int i = 0; i < rows; ++i) {
        ds.Append();
        ds.FieldByName("code")->SetAsString(QStringLiteral("SP%1").arg(i, 6, 10, QChar(u'0')));
        ds.FieldByName("name")->SetAsString(QStringLiteral("商品 %1").arg(i % 977));
        ds.FieldByName("qty")->SetAsInteger(i % 50);
        ds.FieldByName("price")->SetAsString(QString::number(i % 1000) + QStringLiteral(".25"));
        ds.Post();
    }
    ds.EnableControls();
    ds.MergeChangeLog();
    ds.First();

    QElapsedTimer t;
    t.start();
    TGridView view;
    view.resize(1000, 700);
    view.SetDataSet(&ds);
    for (const char* f : {"code", "name", "qty", "price"})
        view.AddColumn(QString::fromLatin1(f));
    view.Column(3)->Editor = TGridEditor::Amount;
    view.ColumnsChanged();
    view.show();
    view.grab();
    const qint64 showMs = t.elapsed();

    t.restart();
    QScrollBar* bar = view.verticalScrollBar();
    const int step = qMax(1, bar->pageStep());
    for (int v = 0; v <= bar->maximum(); v += step * 50) {
        bar->setValue(v);
        view.viewport()->grab();
    }
    bar->setValue(bar->maximum());
    view.viewport()->grab();
    const qint64 scrollMs = t.elapsed();
    std::printf("BENCH grid_scroll rows=%d show_ms=%lld scroll_ms=%lld\n", rows, showMs, scrollMs);

    t.restart();
    view.sortByColumn(3, Qt::DescendingOrder);
    view.viewport()->grab();
    const qint64 sortNumberMs = t.elapsed();
    t.restart();
    view.sortByColumn(1, Qt::AscendingOrder);
    view.viewport()->grab();
    const qint64 sortTextMs = t.elapsed();
    std::printf("BENCH grid_sort rows=%d number_ms=%lld text_ms=%lld\n", rows, sortNumberMs, sortTextMs);
    view.sortByColumn(-1, Qt::AscendingOrder);

    t.restart();
    ds.SetFilter(QStringLiteral("name = '商品 7' or qty > 45"));
    ds.SetFiltered(true);
    const int visible = view.GridModel()->rowCount();
    const qint64 filterMs = t.elapsed();
    std::printf("BENCH local_filter rows=%d ms=%lld matched=%d\n", rows, filterMs, visible);
    return 0;
}
