#pragma once
// The stocktake's control form: the batches, and the procedure as numbered steps (create,
// freeze, print empty sheets, enter counts, summarize, adjust, finish). Steps 3.1 to 5 open
// the modules the form's parameters name, for the focused batch.
#include "uKxPagedList.h"

class TfrmCheckBatch : public TKxPagedList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCheckBatch(QWidget* owner = nullptr);

    TPClientDataSet* Statuses() const { return m_status; }

    void dxBL_SaveClick();
    void btnCreateClick();
    void btnFrozeClick();
    void btnPrintClick();
    void btnInputClick();
    void btnSumClick();
    void btnAdjClick();
    void btnFinishClick();

protected:
    void FormOpen() override;

private:
    // The focused batch's code when its status is one of `statuses`; otherwise `refusal`
    // is shown and the result is empty.
    QString focusedBatch(std::initializer_list<int> statuses, const QString& refusal);
    void openStep(const QString& param, const QString& refusal);
    bool save();

    TPClientDataSet* m_status;
};
