#pragma once
// The buyers' refund requests: a paged list with ten quick tabs, a quick filter, the refund's
// reason and description, and a picture of the refunded item. From here refunds are
// downloaded, agreed to or refused on the marketplace, and finished ones turned into return
// receipts. Every service method of the list comes from the module's parameters.
#include "uKxPagedList.h"
#include "uRefundAnswer.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QTabBar;

class TfrmRefund : public TKxPagedList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefund(QWidget* owner = nullptr);

    TPClientDataSet* Refunds() const { return ListData(); }
    QTabBar* Tabs() const { return m_tabs; }
    QLineEdit* QuickFilter() const { return m_quick; }
    TKxPicturePanel* Picture() const { return m_picture; }
    QPlainTextEdit* ReasonBox() const { return m_reason; }
    QPlainTextEdit* DescBox() const { return m_desc; }
    QMenu* PopupMenu() const { return m_popup; }
    QAction* AgreeAction() const { return m_agree; }
    QAction* RefuseAction() const { return m_refuse; }
    QAction* ConfirmAction() const { return m_confirm; }

    // The refund filter of a tab and a quick-filter text.
    static QString TabFilter(int tab, const QString& quick, const QDate& today);

    void ApplyFilter();
    void SelectAll(bool invert);
    // Which of "同意退货", "确认收货" and "拒绝退款/退货" the right-click menu offers for the
    // selected refunds.
    void UpdatePopup();
    void dxBL_DownloadClick();
    void dxBL_GenerateClick();
    void dxBL_PrintReportClick();
    // "同意退货" and "拒绝退款/退货" on the selected refunds (the focused one when none is
    // selected); "确认收货" on returned goods ends the refund refunded. The rows the
    // marketplace took show their new status locally; the refused are named once.
    void AgreeClick();
    void RefuseClick();
    void ConfirmClick();
    // The refunds the menu acts on: the selected rows of the list, or the focused one.
    QList<TKxRefundRef> Targets(bool goodsOnly) const;

protected:
    void FormOpen() override;
    void AfterSearch(int page) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRefund();
    void setStatus(const QStringList& ids, const QString& status);

    TPClientDataSet* m_tradeStatus;
    TPClientDataSet* m_refundStatus;
    TPClientDataSet* m_goodStatus;
    TPClientDataSet* m_csStatus;
    QTabBar* m_tabs;
    QLineEdit* m_quick;
    QPlainTextEdit* m_reason;
    QPlainTextEdit* m_desc;
    TKxPicturePanel* m_picture;
    QMenu* m_popup;
    QAction* m_agree;
    QAction* m_refuse;
    QAction* m_confirm;
    bool m_quiet = false;   // the rows move under a filter or a selection: no panel updates
};
