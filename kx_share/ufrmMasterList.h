#pragma once
// The master-data list: a paged grid over one data set, edited in place and saved as a whole
// by sending the data set's change log. Each master table is a short subclass that declares
// its columns and states where it differs (extra request parameters, presets of new rows,
// other data sets). The larger tables add a category tree beside the rows ("filterfield",
// "grouptree"), lists the rows pick from (brands), a separate edit dialog, extra tools, pop-up
// menu entries and cell colours; all of it lives here so that a member only names its parts.
#include "uFormParts.h"
#include "uGridModel.h"
#include "uKxPagedList.h"

#include <functional>

class QAction;
class QMenu;
class QSplitter;
class QStyleOptionViewItem;
class QTreeWidgetItem;
class TKxCategoryTree;

class TfrmMasterList : public TKxPagedList {
    Q_OBJECT
public:
    // `extraTools` stand before "退 出".
    explicit TfrmMasterList(QWidget* owner = nullptr, const QList<TKxAction>& extraTools = {});

    int CurrentPage() const { return CurPage(); }

    // Changes in the grid that a save would send.
    bool HasUnsavedChanges() const;

    TKxCategoryTree* CategoryTree() const { return m_tree; }
    // The category of the selected tree node; 0 for the root or no selection.
    qint64 SelectedCategory() const;
    QMenu* GridMenu() const { return m_menu; }
    // A strip above the rows (a box choosing whose rows the list shows).
    void SetHeader(QWidget* header);
    // A row key, the selected category and the member's presets for the row just appended to
    // the list (the edit dialog's next row gets them too).
    void StampNewRowOf(TPClientDataSet* dataSet) { StampNewRow(dataSet); }

    // The tool buttons beside those of every paged list, by their handlers' names.
    // "刷 新" over unsaved changes asks first and loads the side lists again.
    void dxBL_SearchClick();
    void dxBL_RefreshClick();
    // With an edit dialog, "新 建" appends a row and opens the dialog on it, and "修 改"
    // opens it on the current row; without one the grid is edited in place.
    virtual void dxBL_NewClick();
    virtual void dxBL_EditClick();
    virtual void dxBL_DeleteClick();
    virtual void dxBL_SaveClick();
    // A tree node clicked: the loaded rows narrowed to its category.
    void tvGroupClick(QTreeWidgetItem* item);

protected:
    // Columns of the grid, in order; captions follow from "fieldlabels".
    TGridColumn* AddColumn(const QString& fieldName, TGridEditor editor = TGridEditor::Text, bool readOnly = false);
    // A drop-down column over a side list, showing `listField` for the row's `keyField`.
    TGridColumn* AddLookupColumn(const QString& fieldName, TPClientDataSet* list, const QString& keyField,
                                 const QString& listField, bool readOnly = false);

    // The rights table of the tool row.
    virtual QList<TKxRight> RightsTable() const;

    // A list the rows pick from, loaded whole from the method named by module parameter
    // `methodParam` ("curpage" = "0") on opening, and again before a search from the search
    // dialog and on "刷 新"; nothing when the parameter is empty.
    void AddSideList(TPClientDataSet* list, const QString& methodParam);
    void LoadSideLists();

    // The edit dialog: made for each opening, shown modally over the current row and freed.
    using TEditFormFactory = std::function<TfrmBase*()>;
    void SetEditForm(TEditFormFactory factory) { m_editForm = std::move(factory); }
    bool HasEditForm() const { return bool(m_editForm); }
    // Shows the dialog; the list's "保 存" sends what it changed.
    void OpenEditForm();

    // An entry of the grid's pop-up menu; entries are hidden while the list is empty.
    QAction* AddMenuItem(const QString& text, std::function<void()> run);
    // Colours of one column's cells, after the grid's others (the keyword highlight composes).
    void AddCellPainter(const QString& field, std::function<void(int recIndex, QStyleOptionViewItem& option)> paint);

    // Runs once on opening, before the first search.
    virtual void BeforeFirstSearch() {}
    // Presets of a new row beside its row key and category (the data set is in Insert state).
    virtual void NewRecord() {}
    // Whether captions, hidden fields and the saved column layout apply to the grid.
    virtual bool UsesColumnSettings() const { return true; }

    // Sends the data set's change log to "update" after the question and merges the answer.
    void SaveDelta(TPClientDataSet* dataSet);
    // A row key, the selected category and the member's presets for a row just appended.
    void StampNewRow(TPClientDataSet* dataSet);

    void FormOpen() override;
    // Closing ("退 出") over unsaved changes asks first; the window stays open on Cancel.
    void FormClose(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateMenu();

    TKxCategoryTree* m_tree;
    QSplitter* m_body;
    QMenu* m_menu;
    QList<QPair<TPClientDataSet*, QString>> m_sideLists;
    TEditFormFactory m_editForm;
};
