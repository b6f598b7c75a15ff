#pragma once
// The stocktake's adjustment: the batch's difference list (counted, book and difference in
// pieces, at cost and at sale price); the ticked rows not yet adjusted become one audited
// stock adjustment per storage, which the service posts.
#include "uKxPagedList.h"

class TfrmCheckAdj : public TKxPagedList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCheckAdj(QWidget* owner = nullptr);

    TPClientDataSet* AdjustHeaders() const { return m_master; }
    TPClientDataSet* AdjustLines() const { return m_detail; }
    void btnSelectAllClick();
    void btnAdjustClick();
    // The printed list is the batch's difference report: its title and the batch it is of.
    TGridPrintOptions PrintOptions() const override;

protected:
    void FormOpen() override;
    void AddSearchParams(TRequest* request) override;

private:
    // Headers and lines of the ticked rows, grouped by storage in order of first appearance.
    void buildAdjustments(const QString& batch);

    TPClientDataSet* m_master;
    TPClientDataSet* m_detail;
    QString m_batch; // the batch whose rows are shown
};
