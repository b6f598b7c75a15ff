#pragma once
// The freeze dialog of a stocktake batch: one storage at a time is frozen for the batch; the
// dialog stays open for the next until the operator closes it.
#include "ufrmBase.h"

#include <functional>

class QComboBox;
class QPushButton;
class TPClientDataSet;

class TfrmCheckFroze : public TfrmBase {
    Q_OBJECT
public:
    // `storageMethod` lists the storages, `frozeMethod` freezes one for batch `checkcode`;
    // `frozen` runs after each freeze that succeeded.
    TfrmCheckFroze(const QString& storageMethod, const QString& frozeMethod, const QString& checkcode, std::function<void()> frozen,
                   QWidget* owner = nullptr);

    QComboBox* StorageBox() const { return m_box; }
    QPushButton* FrozeButton() const { return m_button; }
    void cxButton1Click();

private:
    QString m_frozeMethod;
    QString m_checkcode;
    std::function<void()> m_frozen;
    TPClientDataSet* m_storages;
    QComboBox* m_box;
    QPushButton* m_button;
};
