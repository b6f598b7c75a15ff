#pragma once
// "请选择需要经常使用的快递单模板": all waybill templates split into those offered when
// printing ("常用模板") and the others ("可用模板").
#include "ufrmBase.h"

class QListWidget;
class TPClientDataSet;

class TFrmSelInfo : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFrmSelInfo(QWidget* owner = nullptr);

    // Loads every template ("Express.Search" without conditions).
    void InitModule(const QString& xml) override;

    QListWidget* Available() const { return m_available; }
    QListWidget* InUse() const { return m_inUse; }
    TPClientDataSet* Templates() const { return m_templates; }

    void btnAddClick();
    void btnRemoveClick();
    void btnOkClick();

private:
    void move(QListWidget* from, QListWidget* to);

    QListWidget* m_available;
    QListWidget* m_inUse;
    TPClientDataSet* m_templates;
};
