#pragma once
// The master-data list: a paged grid over one data set, edited in place and saved as a whole
// by sending the data set's change log. Each master table is a short subclass that declares
// its columns and states where it differs (extra request parameters, presets of new rows,
// other data sets).
#include "uGridModel.h"
#include "uKxPagedList.h"

class TfrmMasterList : public TKxPagedList {
    Q_OBJECT
public:
    explicit TfrmMasterList(QWidget* owner = nullptr);

    int CurrentPage() const { return CurPage(); }

    // Changes in the grid that a save would send.
    bool HasUnsavedChanges() const;

    // The tool buttons beside those of every paged list, by their handlers' names.
    // "刷 新" over unsaved changes asks first.
    void dxBL_RefreshClick();
    void dxBL_NewClick();
    void dxBL_EditClick();
    void dxBL_DeleteClick();
    virtual void dxBL_SaveClick();

protected:
    // Columns of the grid, in order; captions follow from "fieldlabels".
    TGridColumn* AddColumn(const QString& fieldName, TGridEditor editor = TGridEditor::Text, bool readOnly = false);

    // Runs once on opening, before the first search.
    virtual void BeforeFirstSearch() {}
    // Presets of a new row beside its row key (the data set is in Insert state).
    virtual void NewRecord() {}
    // Whether captions, hidden fields and the saved column layout apply to the grid.
    virtual bool UsesColumnSettings() const { return true; }

    // Sends the data set's change log to "update" after the question and merges the answer.
    void SaveDelta(TPClientDataSet* dataSet);
    // A row key and the member's presets for a row just appended to `dataSet`.
    void StampNewRow(TPClientDataSet* dataSet);

    void FormOpen() override;
    // Closing ("退 出") over unsaved changes asks first; the window stays open on Cancel.
    void FormClose(QCloseEvent* event) override;
};
