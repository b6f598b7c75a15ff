#pragma once
// The stock-document list: pages through the documents a service method returns, with the
// lines of the focused document below, and opens the document's edit window. Every stock
// document (receipts, returns, outbound, transfers, adjustments, stocktakes) is a short
// subclass that states its id field, its columns and its report names; every service method
// comes from the module's parameters.
#include "ufrmBase.h"

#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class TGridView;
class TKxPager;
class TPClientDataSet;

// What a document list states about its document.
struct TKxDocListDef {
    QString idField;              // the document number, e.g. "receiveid"
    QStringList masterFields;     // columns of the document grid, in order
    QStringList detailFields;     // columns of the line grid, in order
    QStringList amountFields;     // shown with two decimals ("0.00")
    QStringList storageFields;    // shown by their storage's name
    QString statusField = QStringLiteral("status"); // shown by its status name
    QString reportMaster;         // names of the two data sets in the voucher template
    QString reportDetail;
};

class TfrmDocList : public TfrmBase {
    Q_OBJECT
public:
    TfrmDocList(const TKxDocListDef& def, QWidget* owner);

    TGridView* Grid() const { return m_grid; }
    TGridView* DetailGrid() const { return m_gridDetail; }
    TPClientDataSet* Documents() const { return m_master; }
    TPClientDataSet* Lines() const { return m_detail; }
    TPClientDataSet* Storages() const { return m_storage; }
    TPClientDataSet* Statuses() const { return m_status; }
    TKxPager* Pager() const { return m_pager; }
    QLabel* TitleLabel() const { return m_title; }
    QLabel* RecordLabel() const { return m_recordLabel; }
    QLineEdit* KeywordEdit() const { return m_keyword; }
    QPushButton* Button(const QString& text) const;
    QStringList SavedConditions() const { return m_conditions; }
    const TKxDocListDef& Def() const { return m_def; }

    // One page of documents. With conditions, they become the saved ones. Page -1 is the
    // opening call (0 when the form has call parameters); page 1 starts the list anew, later
    // pages are appended. False when the call failed: the list stays as it was.
    bool Search(const QStringList* conditions, int page);
    // The lines of the focused document (none when the list is empty).
    bool LoadLines();

    // The buttons, by their handlers' names.
    void dxBL_SearchClick();
    void dxBL_RefreshClick();
    void dxBL_NewClick();
    void dxBL_EditClick();
    void dxBL_ExportClick();
    void dxBL_PrintClick();
    void dxBL_PreviewClick();
    void dxBL_PrintReportClick();
    void dxBL_ColumnsClick();
    void btnNextClick();
    void btnRemainClick();
    void btnPauseClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void open();
    void applyRights();
    void setupColumns(TGridView* grid, const QStringList& fields);
    bool loadList(const QString& param, const QStringList& lines, TPClientDataSet* into);
    void openEditor(const QString& id);
    TGridView* columnsGrid(QString* key) const;

    TKxDocListDef m_def;
    TPClientDataSet* m_master;
    TPClientDataSet* m_detail;
    TPClientDataSet* m_storage;
    TPClientDataSet* m_status;
    TGridView* m_grid;
    TGridView* m_gridDetail;
    QSplitter* m_splitter;
    QLabel* m_title;
    QLabel* m_recordLabel;
    QLineEdit* m_keyword;
    QList<QPushButton*> m_buttons;
    TKxPager* m_pager;
    QStringList m_conditions;
    QString m_linesOf;        // the document whose lines are shown
    bool m_detailClicked = false;
    bool m_opened = false;
};
