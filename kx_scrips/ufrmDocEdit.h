#pragma once
// The stock-document edit window: one document, a header and its lines. The operator picks
// the party and the storage, enters lines by picking products or by typing codes and
// quantities with the keyboard alone (code, Enter, quantity, Enter, code, ...), saves the
// changes as deltas and audits. A document class states its fields, party, messages and report
// names; every service method comes from the module's parameters. Numbers, stock postings and
// the meaning of each status are the service's.
#include "ufrmBase.h"

#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TGridColumn;
class TGridView;
class TKxRecordBinder;
class TPClientDataSet;

// A calculated line amount: quantity × price.
struct TKxLineAmount {
    QString field;
    QString priceField;
};

// What an edit window states about its document.
struct TKxDocEditDef {
    QString idField;              // document number, e.g. "receiveid"
    QString qtyField;             // the quantity the operator enters, e.g. "receivenum"
    QString codeField = QStringLiteral("commoditycode");
    QString totalField;           // header total, the sum of `totalOf` over the lines
    QString totalOf;
    QString partyCode;            // the party chosen with the party module, e.g. the supplier
    QString partyName;
    QString partyModule;
    QStringList partyConditions;  // fixed conditions of the party pick and lookup
    QString partyMissing;         // message when no party is chosen
    QString storageField = QStringLiteral("storageid");
    QString storageNameField = QStringLiteral("storagename");
    QString storageType;          // "storagetype" asked of the storage list; empty: every storage
    QString storageMissing = QStringLiteral("仓库信息不能为空！");
    QString productModule = QStringLiteral("Select.Commodity");
    QStringList headerFields;     // header boxes in order (party, storage and the rest)
    QStringList headerEdits;      // header fields typed freely (a remark)
    QStringList lineFields;       // line grid columns in order
    QStringList productFields;    // copied from the chosen product onto the line
    QList<TKxLineAmount> amounts; // calculated line amounts
    QStringList amountFields;     // line columns shown with two decimals
    QString reportMaster;         // names of the two data sets in the voucher template
    QString reportDetail;
};

class TfrmDocEdit : public TfrmBase {
    Q_OBJECT
public:
    TfrmDocEdit(const TKxDocEditDef& def, QWidget* owner);

    TPClientDataSet* Header() const { return m_master; }
    TPClientDataSet* Lines() const { return m_detail; }
    TPClientDataSet* Storages() const { return m_storage; }
    TPClientDataSet* Statuses() const { return m_status; }
    TGridView* LineGrid() const { return m_grid; }
    QLineEdit* PartyEdit() const { return m_partyEdit; }
    QComboBox* StorageBox() const { return m_storageBox; }
    QLabel* StatusLabel() const { return m_statusLabel; }
    QLineEdit* HeaderEdit(const QString& field) const;
    QPushButton* Button(const QString& text) const;
    const TKxDocEditDef& Def() const { return m_def; }

    // Loads the document named by the "receiveid"-style parameter (a call parameter of that
    // name takes its place). False when the call failed.
    bool LoadDocument(const QString& id);

    // The buttons, by their handlers' names.
    void dxBL_RefreshClick();
    void dxBL_NewClick();
    void dxBL_InsertClick();
    void dxBL_DeleteClick();
    void dxBL_SaveClick();
    void dxBL_AuditClick();
    void dxBL_PrintClick();
    void dxBL_PreviewClick();
    void dxBL_PrintReportClick();
    void dxBL_ColumnsClick();

    // The party box: its pick button, and Enter typed in it.
    void PartyButtonClick();
    void PartyEnter();
    // The code column: its pick button on line `row` (0-based), and a code typed there.
    void ProductButtonClick(int row);
    void CodeEntered(int row);
    // A quantity typed on line `row`: the next line, or a new one at the end.
    void QuantityEntered(int row);
    // A new line at the end (Down on the last line), numbered after the others.
    void AppendLine() { appendLine(false); }
    // Changes that a save would send: header edits and lines, but not the open line the
    // keyboard entry leaves at the end.
    bool HasUnsavedChanges();

protected:
    // Fixed conditions of the product pick and lookup.
    virtual QStringList ProductConditions() const;

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing with unsaved changes asks first; they are kept when the operator says no.
    void FormClose(QCloseEvent* event) override;

private:
    void buildHeader(QWidget* panel);
    void open();
    void applyRights();
    void prepareFields();
    bool ensureHeader();
    bool checkPartyAndStorage();
    void updatePartyReadOnly();
    void appendLine(bool insertHere);
    void stampLine();
    void renumber(int fromRecNo);
    void placeProducts(TPClientDataSet* products);
    void dropEmptyLines();
    bool postPending();
    void focusCell(int row, const QString& field);
    void cellEdited(int row, TGridColumn* column);
    QString operatorStamp() const;

    TKxDocEditDef m_def;
    TPClientDataSet* m_master;
    TPClientDataSet* m_detail;
    TPClientDataSet* m_storage;
    TPClientDataSet* m_status;
    TKxRecordBinder* m_binder;
    TGridView* m_grid;
    QLineEdit* m_partyEdit = nullptr;
    QComboBox* m_storageBox = nullptr;
    QLabel* m_statusLabel;
    QList<QPair<QString, QLineEdit*>> m_edits;
    QList<QPushButton*> m_buttons;
    bool m_placing = false;
    bool m_opened = false;
    bool m_fieldsReady = false;
};
