#pragma once
// Storages; the type is picked from the service's list of storage types.
#include "ufrmMasterList.h"

class TfrmStorage : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmStorage(QWidget* owner = nullptr);

protected:
    void BeforeFirstSearch() override;

private:
    TPClientDataSet* m_types;
};
