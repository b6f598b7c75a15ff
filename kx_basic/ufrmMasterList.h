#pragma once
// The master-data list: a paged grid over one data set, edited in place and saved as a whole
// by sending the data set's change log. Each master table is a short subclass that declares
// its columns and states where it differs (extra request parameters, presets of new rows,
// other data sets).
#include "ufrmBase.h"
#include "uGridModel.h"

#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class TGridView;
class TKxPager;
class TPClientDataSet;
class TRequest;

class TfrmMasterList : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmMasterList(QWidget* owner = nullptr);

    TGridView* Grid() const { return m_grid; }
    TPClientDataSet* ListData() const { return m_list; }
    QLabel* RecordLabel() const { return m_recordLabel; }
    TKxPager* Pager() const { return m_pager; }
    int CurrentPage() const;
    QStringList SavedConditions() const { return m_conditions; }

    // One page of the list. With conditions, they become the saved ones; page 1 replaces the
    // rows, later pages append. False when the call failed (the list stays as it was).
    bool Search(const QStringList* conditions, int page);

    // The tool and paging buttons, by their handlers' names.
    void dxBL_SearchClick();
    void dxBL_RefreshClick();
    void dxBL_NewClick();
    void dxBL_EditClick();
    void dxBL_DeleteClick();
    virtual void dxBL_SaveClick();
    void dxBL_ExportClick();
    void dxBL_PrintClick();
    void dxBL_PreviewClick();
    virtual void dxBL_ColumnsClick();
    void btnNextClick();
    void btnRemainClick();
    void btnPauseClick();

protected:
    // Columns of the grid, in order; captions follow from "fieldlabels".
    TGridColumn* AddColumn(const QString& fieldName, TGridEditor editor = TGridEditor::Text, bool readOnly = false);
    QPushButton* Button(const QString& text) const;

    // The method that returns a page of the list.
    virtual QString SearchMethod() const;
    // Parameters this list always sends before the conditions.
    virtual void AddSearchParams(TRequest*) {}
    // Runs once on opening, before the first search.
    virtual void BeforeFirstSearch() {}
    // Runs after every successful page.
    virtual void AfterSearch() {}
    // Presets of a new row beside its row key (the data set is in Insert state).
    virtual void NewRecord() {}
    // Whether captions, hidden fields and the saved column layout apply to the grid.
    virtual bool UsesColumnSettings() const { return true; }

    // Sends the data set's change log to "update" after the question and merges the answer.
    void SaveDelta(TPClientDataSet* dataSet);
    // A row key and the member's presets for a row just appended to `dataSet`.
    void StampNewRow(TPClientDataSet* dataSet);

    void showEvent(QShowEvent* event) override;

private:
    void open();
    void applyRights();

    TPClientDataSet* m_list;
    TGridView* m_grid;
    QLabel* m_title;
    QLabel* m_recordLabel;
    QLineEdit* m_keyword;
    QList<QPushButton*> m_buttons;
    TKxPager* m_pager;
    QStringList m_conditions;
    bool m_opened = false;
};
