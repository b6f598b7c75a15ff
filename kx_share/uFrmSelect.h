#pragma once
// The one pick dialog: a module window that pages through the list its service module
// returns, narrows it with the search dialog and a category tree, and hands back the chosen
// row, or the ticked rows, as a data set in its result stream. Which list it shows, its
// columns and its service methods all come from the module's parameters.
#include "uKxCategoryTree.h"
#include "ufrmBase.h"

#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TGridView;
class TKxCategoryTree;
class TKxPager;
class TPClientDataSet;

class TFrmSelect : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmSelect(QWidget* owner = nullptr);

    bool MultiSelect() const { return !GetParam(QStringLiteral("multiselect")).isEmpty(); }

    // One page of the list. `conditions` (name=value lines) replace the saved ones unless
    // null; page 1 replaces the list, later pages are appended. False when the call failed:
    // the list stays as it was.
    bool Search(const QStringList* conditions, int page);

    // The buttons and events.
    void btnSelectClick();    // "选择好了"
    void btnSearchClick();    // "查找"
    void btnAllSelectClick(); // "全部选择"
    void btnExportClick();    // "导出Excel"
    void btnPrintClick();     // "打印"
    void btnPreviewClick();   // "打印预览"
    void btnColumnsClick();   // "表格列自定义"
    void btnCloseClick();     // "关闭"
    void tvGroupClick(QTreeWidgetItem* item);

    TKxPager* Pager() const { return m_pager; }
    TPClientDataSet* ListDataSet() const { return m_list; }
    TPClientDataSet* ChosenDataSet() const { return m_chosen; }
    TGridView* GridList() const { return m_gridList; }
    TGridView* GridChosen() const { return m_gridChosen; }
    QTreeWidget* GroupTree() const;
    QWidget* TreePanel() const { return m_treePanel; }
    QLineEdit* KeywordEdit() const { return m_keyword; }
    QLabel* RecordLabel() const { return m_lblRecord; }
    QPushButton* Button(const QString& text) const; // by its visible text
    const QStringList& SavedConditions() const { return m_conditions; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void formShow();
    void setupColumns();
    void loadGroupTree();
    QString keyOf(TPClientDataSet* ds, int row) const;
    void listRowChanged(int row);
    void chosenRowChanged(int row);
    void writeResult(const QByteArray& packet);

    TPClientDataSet* m_list;
    TPClientDataSet* m_chosen;
    TPClientDataSet* m_page;
    TKxPager* m_pager;
    TGridView* m_gridList;
    TGridView* m_gridChosen;
    QSplitter* m_gridSplitter;
    TKxCategoryTree* m_treePanel;
    QLabel* m_lblTitle;
    QLabel* m_lblRecord;
    QLineEdit* m_keyword;
    QList<QPushButton*> m_buttons;
    QStringList m_conditions;
    bool m_shown = false;
    bool m_columnsSet = false;
    bool m_syncing = false;
};

// A lookup without a window (CallMethod) that tells a failed call from an empty answer, so
// a caller keeps its line as it was when the service could not be asked.
enum class TKxLookupResult { Failed, NotFound, Found };
// On Found/NotFound `rows` holds the answer's rows (positioned on the first).
TKxLookupResult KxLookup(QObject* owner, const QString& moduleName, const QStringList& lines, TPClientDataSet* rows);

// The pick dialog `moduleName` shown modally with `fixedConditions` (call parameters `lines`);
// true when the operator chose, with the chosen rows in `rows` (positioned on the first).
bool KxPick(QWidget* owner, const QString& moduleName, const QStringList& fixedConditions, TPClientDataSet* rows,
            const QStringList& lines = {});
