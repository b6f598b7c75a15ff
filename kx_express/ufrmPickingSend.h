#pragma once
// "网店发货": gives a batch of picking lists a carrier and consecutive waybill numbers, saves
// them, then reports the shipment to the marketplace picking by picking. Opened by the picking
// windows with their pickings as rows (Prepare, then AddPicking for each, then MergeChangeLog
// on Rows()); opened as a module it lists the pickings its fixed conditions name, or the
// audited ones not shipped yet.
#include "ufrmBase.h"

#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class TGridView;
class TPClientDataSet;

class TfrmPickingSend : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmPickingSend(QWidget* owner = nullptr);

    // The waybill numbers for `rows` rows from `start` counting up by `step` (0: every row the
    // start): the digits at the end of the start (six at most) count, keeping their width and
    // leading zeros; a start that ends in a letter counts from the step, one digit wide.
    static QStringList WaybillNumbers(const QString& start, int step, int rows);

    // Loads the carriers (all, and the shop account's with fees) and the rows' structure.
    // False when a call failed (already shown).
    bool Prepare();
    // A row for the picking `header` stands on: its number, buyer, city, carrier, waybill
    // number and the freight from `feeField`.
    void AddPicking(const TPClientDataSet* header, const QString& feeField = QStringLiteral("out_fee"));

    TPClientDataSet* Rows() const { return m_rows; }
    TGridView* RowGrid() const { return m_grid; }
    QComboBox* CarrierBox() const { return m_carrier; }
    QLineEdit* StartEdit() const { return m_start; }
    QComboBox* StepBox() const { return m_step; }
    QListWidget* NumberList() const { return m_numbers; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* StatusLabel() const { return m_status; }
    QStringList Numbers() const { return m_generated; }

    void btnResetClick();    // "重  来"
    void btnPreviewClick();  // "预  览"
    void btnSaveClick();     // "保  存"
    void btnSendClick();     // "发  货"

protected:
    void showEvent(QShowEvent* event) override;
    void FormClose(QCloseEvent* event) override;

private:
    void generate();
    QString carrierText() const;

    TPClientDataSet* m_rows;
    TPClientDataSet* m_allCarriers;
    TPClientDataSet* m_carriers;
    TGridView* m_grid;
    QComboBox* m_carrier;
    QLineEdit* m_start;
    QComboBox* m_step;
    QListWidget* m_numbers;
    QProgressBar* m_progress;
    QLabel* m_status;
    QStringList m_generated;
    bool m_prepared = false;
    bool m_opened = false;
    bool m_sending = false;
    bool m_stop = false;
};
