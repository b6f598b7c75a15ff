#pragma once
// Keeps one category tree of the service: add, rename and delete categories through the
// tree's pop-up menu; every change is saved at once.
#include "ufrmBase.h"

class QAction;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class TFrmTreeEdit;
class TPClientDataSet;

class TFrmTree : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmTree(QWidget* owner = nullptr);

    // "刷 新": the categories again from the service.
    void LoadTree();
    // Sends the pending changes; merges the saved rows back. False when the call failed: the
    // changes are cancelled, so a change the service refused does not go with every later save.
    bool SaveData();

    void actAddClick();    // "新增分类"
    void actEditClick();   // "修改分类"
    void actDeleteClick(); // "删除分类"
    void btnExitClick();   // "退 出"

    QTreeWidget* Tree() const { return m_tree; }
    TPClientDataSet* DataSet() const { return m_data; }
    QList<QAction*> MenuActions() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void formShow();
    // The selected node when it carries a category id.
    QTreeWidgetItem* selectedCategory() const;
    bool locate(qint64 childId);
    // Opens the name dialog; true when the operator confirmed a name.
    bool askName(TFrmTreeEdit& edit);

    TPClientDataSet* m_data;
    QTreeWidget* m_tree;
    QLabel* m_lblTitle;
    QAction* m_actAdd;
    QAction* m_actEdit;
    QAction* m_actDelete;
    bool m_shown = false;
};
