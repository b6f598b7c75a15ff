#pragma once
// The list of purchase returns.
#include "ufrmDocList.h"

class TfrmResult : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmResult(QWidget* owner = nullptr);
};
