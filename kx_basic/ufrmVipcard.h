#pragma once
// The member cards: the card categories' tree, the holder's sex picked from "男"/"女", a new
// card in use, and the edit dialog.
#include "ufrmMasterList.h"

class TfrmVipcard : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmVipcard(QWidget* owner = nullptr);

    // The two values of the sex drop-downs (field "sex").
    TPClientDataSet* Sexes() const { return m_sexes; }

protected:
    void NewRecord() override;

private:
    TPClientDataSet* m_sexes;
};
