#pragma once
// Step 3.1 of a stocktake: the empty count sheet of a frozen storage, printed from the report
// engine: the storage's frozen products with room for what is found, no book stock.
#include "ufrmBase.h"

class QComboBox;
class TPClientDataSet;

class TfrmCheckEmpty : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCheckEmpty(QWidget* owner = nullptr);

    QComboBox* StorageBox() const { return m_box; }
    TPClientDataSet* Sheet() const { return m_master; }
    TPClientDataSet* Products() const { return m_detail; }
    // Loads the chosen storage's sheet; false when none is chosen or the call failed (shown).
    bool LoadSheet();
    void btnPrintClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString batch();

    TPClientDataSet* m_master;
    TPClientDataSet* m_detail;
    QComboBox* m_box;
    bool m_opened = false;
};
