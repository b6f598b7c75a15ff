#pragma once
// The marketplace orders: a paged list of orders with the lines of the focused one, eleven
// quick tabs, a quick filter, the buyer's message and the seller's memo, and a picture of the
// focused line's item; a line opens its refund, and double-clicked the module the parameters
// name. Every service method comes from the module's parameters.
#include "uKxPagedList.h"

class QPlainTextEdit;
class QTabBar;

class TfrmTrade : public TKxPagedList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmTrade(QWidget* owner = nullptr);

    TPClientDataSet* Orders() const { return ListData(); }
    TPClientDataSet* Lines() const { return m_lines; }
    TGridView* DetailGrid() const { return m_gridDetail; }
    QTabBar* Tabs() const { return m_tabs; }
    QLineEdit* QuickFilter() const { return m_quick; }
    TKxPicturePanel* Picture() const { return m_picture; }
    QPlainTextEdit* MessageEdit() const { return m_message; }
    QPlainTextEdit* MemoBox() const { return m_memo; }

    // The order filter of a tab and a quick-filter text.
    static QString TabFilter(int tab, const QString& quick, const QDate& today);

    void ApplyFilter();
    void SelectAll(bool invert);
    // The ticked orders in the list's order as (tid, seller_nick); the focused row stays.
    QList<QPair<QString, QString>> CheckedOrders();
    void dxBL_DownloadClick();
    void dxBL_RateClick();
    // Binds the focused line to a product: picked in "Select.Commodity", or looked up by a typed
    // code (or a scanned barcode the pick knows).
    void PickLineProduct();
    void BindLineCode(const QString& code);
    // The refund behind the focused line, in the module of parameter "refund".
    void ShowLineRefund();
    void dxBL_ColumnsClick() override;

protected:
    void FormOpen() override;
    QString ListValueName() const override { return QStringLiteral("xmlmaster"); }
    void AfterSearch(int page) override;
    void DetailShown() override { showOrder(); }

private:
    void showLine();
    void applyProduct(TPClientDataSet* chosen);
    void showOrder();

    TPClientDataSet* m_lines;
    TPClientDataSet* m_tradeStatus;
    TPClientDataSet* m_codStatus;
    TPClientDataSet* m_refundStatus;
    TPClientDataSet* m_tradeType;
    TGridView* m_gridDetail;
    QTabBar* m_tabs;
    QLineEdit* m_quick;
    QPlainTextEdit* m_message;
    QPlainTextEdit* m_memo;
    TKxPicturePanel* m_picture;
    bool m_detailClicked = false;
    bool m_binding = false;   // the line's own edits while a binding is applied
};
