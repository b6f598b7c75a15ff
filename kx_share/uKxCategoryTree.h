#pragma once
// The category tree beside a list: the categories (parent_id, child_id, child_name) come from
// one service method, the root "所有类别" stands for every category, and a click narrows the
// loaded rows to one category. The picker and the master-data lists share it.
#include <QTreeWidgetItem>
#include <QWidget>

class QTreeWidget;
class TPClientDataSet;

class TKxCategoryTree : public QWidget {
    Q_OBJECT
public:
    explicit TKxCategoryTree(QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return m_tree; }
    // The category records the tree was built from (also the source of category drop-downs).
    TPClientDataSet* Categories() const { return m_categories; }

    // Asks `method` for the categories ("curpage" = "0") and builds the tree anew. False when
    // the call failed (shown by the service client): the tree stays as it was.
    bool Load(const QString& method);
    // Builds the tree anew from category records (a data packet).
    bool ShowCategories(const QByteArray& xml);
    // The id of the selected category; 0 when the root or nothing is selected.
    qint64 SelectedId() const;

    // Narrows `list` to the rows whose `field` holds the category of `item`; the root (or no
    // item) shows every row. A text field compares the id as quoted text.
    static void FilterList(TPClientDataSet* list, const QString& field, QTreeWidgetItem* item);

signals:
    void categoryClicked(QTreeWidgetItem* item);

private:
    QTreeWidget* m_tree;
    TPClientDataSet* m_categories;
};
