#pragma once
// The return receipts: a page of them with the lines of the focused one; new and existing
// receipts open in the edit window.
#include "ufrmDocList.h"

class TfrmRefunding : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefunding(QWidget* owner = nullptr);
};
