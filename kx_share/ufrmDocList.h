#pragma once
// The stock-document list: pages through the documents a service method returns, with the
// lines of the focused document below, and opens the document's edit window. Every stock
// document (receipts, returns, outbound, transfers, adjustments, price changes, stocktakes) is
// a short subclass that states its definition; every service method comes from the module's
// parameters.
#include "uDocCommon.h"
#include "uKxPagedList.h"

#include <QStringList>

class QSplitter;

// What a document list states about its document.
struct TKxDocListDef {
    QString idField;              // the document number, e.g. "receiveid"
    QStringList masterFields;     // columns of the document grid, in order
    QStringList detailFields;     // columns of the line grid, in order
    QStringList amountFields;     // shown with two decimals ("0.00")
    QStringList storageFields;    // shown by their storage's name; none: no storage list is loaded
    QString storageType;          // "storagetype" asked of the storage list; empty: every storage
    QStringList shopFields;       // shown by their shop's name (list from the method "shop")
    QStringList carrierFields;    // shown by their carrier's name (list from the method "logistics")
    QString checkField;           // a selection column ticked in the list ("ischeck"); empty: none
    QString statusField = QStringLiteral("status"); // shown by its status name
    QStringList shopParams;       // page parameters given the logged-in shop, after the call parameters
    QString qtyField;             // with `amounts`: the line amounts the voucher prints
    QList<TKxLineAmount> amounts;
    TKxMoneyLines moneyLines;     // documents whose lines carry money in the amounts' prices
    QString reportMaster;         // names of the two data sets in the voucher template
    QString reportDetail;
    int firstPage = -1;           // the page the opening search asks for (see TKxPagedList::Search)
};

class TfrmDocList : public TKxPagedList {
    Q_OBJECT
public:
    TfrmDocList(const TKxDocListDef& def, QWidget* owner);

    TGridView* DetailGrid() const { return m_gridDetail; }
    TPClientDataSet* Documents() const { return ListData(); }
    TPClientDataSet* Lines() const { return m_detail; }
    TPClientDataSet* Storages() const { return m_storage; }
    TPClientDataSet* Shops() const { return m_shop; }
    TPClientDataSet* Carriers() const { return m_logistics; }
    TPClientDataSet* Statuses() const { return m_status; }
    const TKxDocListDef& Def() const { return m_def; }

    // The lines of the focused document (none when the list is empty).
    bool LoadLines();

    // The document list's own buttons, by their handlers' names.
    void dxBL_RefreshClick();
    void dxBL_NewClick();
    void dxBL_EditClick();
    void dxBL_PrintReportClick();
    void dxBL_ColumnsClick() override;

protected:
    void FormOpen() override;
    void AddParamsAfterCallParams(TRequest* request) override;
    void AfterSearch(int page) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupColumns(TGridView* grid, const QStringList& fields);
    void openEditor(const QString& id);

    TKxDocListDef m_def;
    TPClientDataSet* m_detail;
    TPClientDataSet* m_storage;
    TPClientDataSet* m_shop;
    TPClientDataSet* m_logistics;
    TPClientDataSet* m_status;
    TGridView* m_gridDetail;
    QSplitter* m_splitter;
    QString m_linesOf;        // the document whose lines are shown
    bool m_moneyLines = false; // and whether they carry money (moneyLines)
    bool m_detailClicked = false;
};
