#pragma once
// The stocktake's summary: the count sheets of the effective batch; the ticked sheets not yet
// summarized are stamped and sent, and the service adds their counts to the batch's
// difference list.
#include "uKxPagedList.h"

class TGridColumn;

class TfrmCheckSum : public TKxPagedList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCheckSum(QWidget* owner = nullptr);

    TPClientDataSet* Storages() const { return m_storage; }
    void btnSelectAllClick();
    void btnSumClick();
    // Double-click: the focused sheet in its edit module.
    void OpenSheet();

protected:
    void FormOpen() override;
    void AddSearchParams(TRequest* request) override;

private:
    TPClientDataSet* m_storage;
    TGridColumn* m_state; // "状态", drawn from auditren
};
