#pragma once
// The one read-only report window: every report is this class, configured by its module
// parameters. It pages through the rows a service method returns, searches with the search
// dialog, highlights a keyword, exports and prints the grid, prints a receipt template over
// the rows, and drills down from a row into another module.
#include "uKxPagedList.h"

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

protected:
    void FormOpen() override;

private:
    void autoSearch();
};
