#pragma once
// Senders printed on waybills and given as return addresses.
#include "ufrmMasterList.h"

class TfrmSendren : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSendren(QWidget* owner = nullptr);

};
