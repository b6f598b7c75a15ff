#pragma once
// The one read-only report window: every report is this class, configured by its module
// parameters. It pages through the rows a service method returns, searches with the search
// dialog, highlights a keyword, exports and prints the grid, prints a receipt template over
// the rows, and drills down from a row into another module.
#include "ufrmBase.h"

#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class TGridView;
class TKxPager;
class TPClientDataSet;

class TFrmReport : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmReport(QWidget* owner = nullptr);

    TGridView* Grid() const { return cxGrid1; }
    TPClientDataSet* DataSet() const { return PClientDataSet1; }
    QLabel* TitleLabel() const { return m_title; }
    QLabel* RecordLabel() const { return m_recordLabel; }
    QLineEdit* FindText() const { return findText; }
    TKxPager* Pager() const { return m_pager; }
    QPushButton* Button(const QString& text) const;
    int CurPage() const;
    int PageCount() const;
    QStringList LastConditions() const { return m_conditions; }

    // One page of the report. With conditions, they become the last ones. Page -1 is the
    // opening call (0 with fixed conditions, which asks for every row); page 1 starts the rows
    // anew, later pages append. False when the call failed (shown by the service client).
    bool Search(const QStringList* conditions, int page);

    // The buttons, by their handlers' names.
    void dxBL_SearchClick();
    void dxBL_RefreshClick();
    void dxBL_ExportClick();
    void dxBL_PrintClick();
    void dxBL_PreviewClick();
    void dxBL_PrintReportClick();
    void dxBL_ColumnsClick();
    void btnNextClick();
    void btnRemainClick();
    void btnPauseClick();
    // Double click on the grid: opens the "module" parameter's window for the focused row.
    void cxGrid1DblClick();
    // The "name=value" lines of the focused row's key fields present in the data set.
    QStringList DrillDownLines() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void open();
    void applyRights();
    void autoSearch();

    TPClientDataSet* PClientDataSet1;
    TGridView* cxGrid1;
    QLabel* m_title;
    QLabel* m_recordLabel;
    QLineEdit* findText;
    QList<QPushButton*> m_buttons;
    TKxPager* m_pager;
    QStringList m_conditions;
    bool m_opened = false;
};
