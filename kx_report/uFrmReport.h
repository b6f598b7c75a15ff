#pragma once
// The one read-only report window: every report is this class, configured by its module
// parameters. It pages through the rows a service method returns, searches with the search
// dialog, highlights a keyword, exports and prints the grid, prints a receipt template over
// the rows, and drills down from a row into another module.
#include "uKxPagedList.h"

class TGridColumn;

class TFrmReport : public TKxPagedList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmReport(QWidget* owner = nullptr);

    TPClientDataSet* DataSet() const { return ListData(); }
    QLineEdit* FindText() const { return KeywordEdit(); }
    QStringList LastConditions() const { return SavedConditions(); }

    // The report's own buttons, by their handlers' names (the others are every paged list's).
    void dxBL_PrintReportClick();
    // Double click on the grid: opens the "module" parameter's window for the focused row.
    void cxGrid1DblClick();
    // The "name=value" lines of the focused row's key fields present in the data set.
    QStringList DrillDownLines() const;
    // From showing until the automatic search (100 ms later) has had its turn.
    bool AutoSearchPending() const { return m_autoSearchPending; }

protected:
    void FormOpen() override;
    void BeforeSearch() override;
    void AfterSearch(int page) override;

private:
    void autoSearch();
    bool m_autoSearchPending = false;
    // Columns named in "intfields" show whole numbers; those in "lookupfields"
    // ("field=CODE:名称,CODE:名称;...") show the name of their code.
    void applyColumnFormats();
    // A code the parameters do not name shows as itself, never as an empty cell.
    void addUnnamedCodes(int fromRow);
    // Each row grows with its content.
    void fitRows(int fromRow);

    QList<TGridColumn*> m_lookupColumns;
    int m_rowsBefore = 0; // rows held before the page being loaded
};
