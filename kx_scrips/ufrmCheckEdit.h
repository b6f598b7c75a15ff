#pragma once
// One count sheet: what was found on one shelf of a frozen storage, typed or scanned (each
// scan one piece). Never audited here: the summary closes it.
#include "ufrmDocEdit.h"

class TfrmCheckEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCheckEdit(QWidget* owner = nullptr);

protected:
    bool NewHeaderValues(QList<QPair<QString, QString>>& values) override;
};
