#pragma once
// The shop's carriers: every carrier company offered is one row to tick, with the shop's fee
// for it. Saving turns the ticks into the shop's own carrier rows and sends their change log.
#include "ufrmMasterList.h"

class TfrmLogistics : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmLogistics(QWidget* owner = nullptr);

    TPClientDataSet* TickData() const { return m_ticks; }
    TPClientDataSet* ShopCarriers() const { return m_own; }

    void dxBL_SaveClick() override;
    void dxBL_ColumnsClick() override {}

protected:
    QString SearchMethod() const override;
    bool UsesColumnSettings() const override { return false; }
    void AfterSearch(int page) override;

private:
    TPClientDataSet* m_ticks; // what the grid shows
    TPClientDataSet* m_own;   // the shop's carriers, saved
};
