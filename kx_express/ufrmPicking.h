#pragma once
// The picking lists: a page of them with the lines of the focused one, ticked in the list to
// be audited, shipped or printed in one go.
#include "ufrmDocList.h"

class TfrmPicking : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmPicking(QWidget* owner = nullptr);

    void SelectAll(bool invert);      // "全 选", "返 选"
    void dxBL_AuditClick();           // "批量审核"
    void dxBL_SendClick();            // "批量发货"
    void dxBL_PrintKDClick();         // "打印快递单"
    void dxBL_PrintFHClick();         // "打印发货单"

private:
    void postPending();
    void print(const QString& param);
};
