#pragma once
// The stock-document edit window: one document, a header and its lines. The operator fills
// the header (party, storages, shop, remark), enters lines by picking products or by typing
// codes and numbers with the keyboard alone (code, Enter, quantity, Enter, code, ...), saves
// the changes as deltas and audits. A document class states its definition: fields, party,
// header boxes and their checks, entry flow, amounts, messages and report names; every
// service method comes from the module's parameters. Numbers, stock postings and the meaning
// of each status are the service's.
#include "uDocCommon.h"
#include "uFormParts.h"
#include "ufrmBase.h"

#include <QPair>
#include <QStringList>

class QComboBox;
class QHBoxLayout;
class TDecimal;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TGridColumn;
class TGridView;
class TKxRecordBinder;
class TPClientDataSet;

// When a header check runs (flags).
enum TKxCheckAt { KxCheckAtSave = 1, KxCheckAtAudit = 2, KxCheckAtLines = 4, KxCheckAlways = 7, KxCheckAtInsert = 8 };

// A header box that must not be empty (its text trimmed), with the message shown otherwise.
// The box is then made editable and focused.
struct TKxHeaderCheck {
    TKxHeaderCheck(QString f, QString text, int when = KxCheckAlways) : field(std::move(f)), message(std::move(text)), at(when) {}
    QString field;
    QString message;
    int at = KxCheckAlways;
};

// A drop-down header box over one of the window's lists.
struct TKxHeaderList {
    enum TSource { Storages, Shops, Carriers };
    TKxHeaderList(QString f, QString name, TSource from = Storages, bool locked = false)
        : field(std::move(f)), nameField(std::move(name)), source(from), lockedWithLines(locked) {}
    QString field;        // the key written to the header, e.g. "storageid"
    QString nameField;    // the name written beside it, e.g. "storagename"
    TSource source = Storages;
    bool lockedWithLines = false; // fixed once the document has lines (and a value)
};

// A parameter of the product pick and lookup: the trimmed value of a header field, or a
// fixed value when `headerField` is empty.
struct TKxPickParam {
    TKxPickParam(QString n, QString header, QString fixed = {})
        : name(std::move(n)), headerField(std::move(header)), value(std::move(fixed)) {}
    QString name;
    QString headerField;
    QString value;
};

// Which status a document must have to be audited.
enum class TKxAuditRule {
    SavedOnly,  // exactly 1 (saved); "非新建状态的单据，不能提交审核！" otherwise
    NotAudited, // anything but 2; a new document is then refused by its pending creation
};

// How Enter moves through the editable number columns of a line.
enum class TKxEntryFlow {
    Down,   // to the same line's next column only on the last line, else the next line's first
    Across, // through the line's columns, then the next line's first
    Column, // each column down its own lines; on the last line a new line at its code
};

// What an edit window states about its document.
struct TKxDocEditDef {
    QString idField;              // document number, e.g. "receiveid"
    QString codeField = QStringLiteral("commoditycode"); // typed or picked, looked up
    QStringList entryFields;      // editable number columns in entry order; the first gets the
                                  // focus after a code; all start at 0 on a placed product
    TKxEntryFlow entryFlow = TKxEntryFlow::Down;
    QString qtyField;             // the quantity; empty: none (price documents)
    bool refuseZeroQty = true;    // a line with quantity 0 is refused at save
    bool scanAddsOne = false;     // a code entered counts one piece: onto the line holding the
                                  // product already (the open line is emptied for the next
                                  // code), or a new line of 1 followed by an open line
    QString lockedFlag;           // a boolean header field that, when true, refuses a save
    QString lockedMessage;        // with this message
    QStringList markedFields;     // drawn bold green (white on a selected line)
    QString totalField;           // header total, the sum of `totalOf` over the lines; empty: none
    QString totalOf;
    QString partyCode;            // the party chosen with the party module; empty: none
    QString partyName;
    QString partyModule;          // "Select.Supplier", "Select.Vipcard"
    QStringList partyConditions;  // fixed conditions of the party pick and lookup
    QList<TKxHeaderList> lists;   // drop-down header boxes
    QString storageType;          // "storagetype" asked of the storage list; empty: every storage
    QStringList shopListParams;   // parameters of the shop list (method "shop")
    QList<TKxHeaderCheck> checks; // in the order they are tested
    QStringList shopFields = {QStringLiteral("shopcode")}; // header fields given the logged-in shop
    QList<QPair<QString, QString>> defaults; // further values of a new header
    bool hasStatus = true;        // status label and "审 核"
    TKxAuditRule auditRule = TKxAuditRule::SavedOnly;
    bool statusFirst = false;     // save and audit test the status before the header boxes
    bool reloadAfterAudit = false; // the audited document is loaded again, as "刷 新" does
    QString unchangedMessage = QStringLiteral("无数据有变动，不用提交数据保存！");
    QStringList headerFields;     // header boxes in order
    QStringList headerEdits;      // header fields typed freely (a remark)
    QStringList memoFields;       // header texts of several lines, in boxes under the header
    QStringList lineFromHeader;   // header fields copied onto every new line (beside the key and id)
    QList<QPair<QString, QString>> lineDefaults; // further values of every new line
    bool insertAppends = false;   // "插 入" adds the line at the end, not at the cursor
    QStringList lineFields;       // line grid columns in order
    QStringList productFields;    // copied from the chosen product: "field", or "field=productfield"
    QString productModule = QStringLiteral("Select.Commodity");
    QList<TKxPickParam> productParams;
    QList<TKxLineAmount> amounts; // calculated line amounts
    TKxMoneyLines moneyLines;     // documents whose lines carry money in the amounts' prices
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
    TPClientDataSet* Shops() const { return m_shop; }
    TPClientDataSet* Carriers() const { return m_logistics; }
    TPClientDataSet* Statuses() const { return m_status; }
    TGridView* LineGrid() const { return m_grid; }
    QLineEdit* PartyEdit() const { return m_partyEdit; }
    QComboBox* StorageBox() const; // the first drop-down
    QComboBox* HeaderBox(const QString& field) const;
    QLabel* StatusLabel() const { return m_statusLabel; }
    QLineEdit* HeaderEdit(const QString& field) const;
    QPlainTextEdit* MemoEdit(const QString& field) const;
    QPushButton* Button(const QString& text) const; // by caption
    QPushButton* Tool(const char* id) const;
    const TKxDocEditDef& Def() const { return m_def; }

    // Loads document `id`: the id, then the call parameters other than the id's own entry.
    // False when the call failed.
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
    // A number typed into `field` on line `row`: on along the entry flow, or a new line.
    void EntryFieldEntered(int row, const QString& field);
    // A new line at the end (Down on the last line), numbered after the others.
    void AppendLine() { appendLine(false); }
    // Changes that a save would send: header edits and lines, but not the open line the
    // keyboard entry leaves at the end.
    bool HasUnsavedChanges();
    // Whether the document shown may be changed: not audited (status 2).
    bool Editable() const;

protected:
    // Values of a new header beside the defaults; false cancels the new header (the member
    // has said why).
    virtual bool NewHeaderValues(QList<QPair<QString, QString>>& /*values*/) { return true; }
    // Fills the current line (being edited) from the current row of `products`, its code
    // already set: the product fields, and 0 in the entry columns.
    virtual void FillLine(const TPClientDataSet* products);
    // Empties the current line (being edited) after a code that names no product.
    virtual void ClearLine();
    // The operator typed `field` on line `row` (0-based), before the entry moves on.
    virtual void LineEdited(int /*row*/, const QString& /*field*/) {}
    // More tools after the tool `afterId`.
    void InsertTools(const char* afterId, std::initializer_list<TKxAction> tools);

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing with unsaved changes asks first; they are kept when the operator says no.
    void FormClose(QCloseEvent* event) override;

private:
    void buildHeader(QWidget* panel);
    void open();
    void applyRights();
    void updateLocks();
    void prepareFields();
    bool ensureHeader();
    bool checkHeader(TKxCheckAt at);
    QWidget* headerWidget(const QString& field) const;
    QStringList productConditions() const;
    void appendLine(bool insertHere);
    void stampLine();
    void renumber(int fromRecNo);
    void placeProducts(TPClientDataSet* products);
    bool scanOne(int row, TPClientDataSet* products);
    void dropEmptyLines();
    bool refuseZeroQuantities();
    TDecimal lineTotal();
    void updateTotal();
    bool postPending();
    void focusCell(int row, const QString& field);
    void cellEdited(int row, TGridColumn* column);
    QString operatorStamp() const;

    TKxDocEditDef m_def;
    TPClientDataSet* m_master;
    TPClientDataSet* m_detail;
    TPClientDataSet* m_storage;
    TPClientDataSet* m_shop;
    TPClientDataSet* m_logistics;
    TPClientDataSet* m_status;
    TKxRecordBinder* m_binder;
    TGridView* m_grid;
    QLineEdit* m_partyEdit = nullptr;
    QLabel* m_statusLabel;
    QList<QPair<QString, QLineEdit*>> m_edits;
    QList<QPair<QString, QPlainTextEdit*>> m_memos;
    QHBoxLayout* m_tools = nullptr;
    QList<QPair<TKxHeaderList, QComboBox*>> m_boxes;
    QList<QPushButton*> m_buttons;
    bool m_placing = false;
    bool m_loading = false;
    bool m_opened = false;
};
