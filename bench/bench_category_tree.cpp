// The category tree beside the catalogue lists: 2,000 categories in three levels (20 groups,
// 10 kinds each, the rest leaves) read from their data packet, built and painted.
#include "uKxCategoryTree.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    constexpr int nodes = 2000;
    QByteArray xml = "<datapacket><fields><field name=\"parent_id\" type=\"integer\"/><field name=\"child_id\" type=\"integer\"/>"
                     "<field name=\"child_name\" type=\"string\"/></fields><rows>";
    int id = 0;
    const auto row = [&xml](int parent, int child, const QString& name) {
        xml += "<row parent_id=\"" + QByteArray::number(parent) + "\" child_id=\"" + QByteArray::number(child) + "\" child_name=\""
               + name.toUtf8() + "\"/>";
    };
    QList<int> kinds;
    for (int g = 0; g < 20; ++g) {
        const int group = ++id;
        row(0, group, QStringLiteral("男装系列%1").arg(g));
        for (int k = 0; k < 10; ++k) {
            kinds << ++id;
            row(group, id, QStringLiteral("上衣类别%1").arg(k));
        }
    }
    // Leaves listed after all their parents, as the service sends them, but spread over them.
    for (int leaf = 0; id < nodes; ++leaf)
        row(kinds[leaf % kinds.size()], ++id, QStringLiteral("纯棉短袖T恤%1").arg(leaf));
    xml += "</rows></datapacket>";

    TKxCategoryTree panel;
    panel.resize(260, 700);
    panel.show();
    QApplication::processEvents();

    qint64 best = -1;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        panel.ShowCategories(xml);
        panel.Tree()->expandAll();
        panel.Tree()->viewport()->repaint();
        const qint64 ms = t.elapsed();
        best = best < 0 ? ms : qMin(best, ms);
    }
    int count = 0;
    for (QTreeWidgetItemIterator it(panel.Tree()); *it; ++it)
        ++count;
    std::printf("BENCH category_tree nodes=%d ms=%lld\n", count - 1, static_cast<long long>(best));
    return count - 1 == nodes ? 0 : 1;
}
