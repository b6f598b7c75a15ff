#pragma once
// The marketplace download dialog that orders and refunds share: ticked shop accounts times
// ticked states within a time window, paged by the marketplace's total, or one document by its
// number. A member states its captions, states, methods and status-line texts.
#include "ufrmBase.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;

// One state box: the status sent, and the status-line texts after the account's prefix.
struct TKxDownState {
    const char* caption;
    const char* status;
    const char* before;
    const char* done;
    const char* failed;
};

struct TKxDownDef {
    QString title;                // "下载订单"
    QList<TKxDownState> states;   // in the order they are downloaded
    TKxDownState all;             // every box ticked: this one alone
    QString timeCaption;          // "订单成交时间"
    QString numberCaption;        // "订单号："
    QString numberParam;          // "tid"
    QString pagesMethod;          // "NetShop.DownTrades"
    QString oneMethod;            // "NetShop.DownTrade"
    QString oneDone;              // "订单下载成功！"
    QString accountOpen;          // put before the account on the status line ("【" or nothing)
};

class TKxMarketDown : public TfrmBase {
    Q_OBJECT
public:
    TKxMarketDown(const TKxDownDef& def, QWidget* owner);

    QListWidget* NickList() const { return m_nicks; }
    QCheckBox* StateBox(const QString& caption) const;  // also the all-states box
    QComboBox* DayBox() const { return m_days; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* StatusLine() const { return m_status; }
    QComboBox* SingleNick() const { return m_singleNick; }
    QLineEdit* NumberEdit() const { return m_number; }
    // The window's size of a time window, as sent.
    int DayNum() const;

    void btnDownClick();
    void btnDownOneClick();

private:
    // One state of one account; true when every page came.
    bool downState(const QString& account, const QString& status);

    TKxDownDef m_def;
    QListWidget* m_nicks;
    QList<QCheckBox*> m_states;   // in the definition's order
    QCheckBox* m_all;
    QComboBox* m_days;
    QProgressBar* m_progress;
    QLabel* m_status;
    QComboBox* m_singleNick;
    QLineEdit* m_number;
};
