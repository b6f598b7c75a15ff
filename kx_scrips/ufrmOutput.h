#pragma once
// The list of retail outbound documents.
#include "ufrmDocList.h"

class TfrmOutput : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmOutput(QWidget* owner = nullptr);
};
