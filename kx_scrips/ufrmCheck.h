#pragma once
// The count sheets of the effective batch.
#include "ufrmDocList.h"

class TfrmCheck : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCheck(QWidget* owner = nullptr);

protected:
    void AddSearchParams(TRequest* request) override;
};
