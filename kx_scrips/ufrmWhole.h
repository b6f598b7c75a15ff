#pragma once
// The list of wholesale outbound documents of the logged-in shop.
#include "ufrmDocList.h"

class TfrmWhole : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmWhole(QWidget* owner = nullptr);
};
