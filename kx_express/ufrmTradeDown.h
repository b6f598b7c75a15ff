#pragma once
// "下载订单": asks the service to fetch orders from the marketplace, for the ticked shop
// accounts and order states within a time window, or one order by its number.
#include "ufrmBase.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

class TfrmTradeDown : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmTradeDown(QWidget* owner = nullptr);

    QListWidget* NickList() const { return m_nicks; }
    QCheckBox* StateBox(const QString& caption) const;  // also "全部状态"
    QComboBox* DayBox() const { return m_days; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* StatusLine() const { return m_status; }
    QComboBox* SingleNick() const { return m_singleNick; }
    QLineEdit* TidEdit() const { return m_tid; }
    // The window's size of a time window, as sent.
    int DayNum() const;

    void btnDownClick();
    void btnDownOneClick();

private:
    // One state of one account; true when every page came.
    bool downState(const QString& account, const QString& status);

    QListWidget* m_nicks;
    QList<QCheckBox*> m_states;   // in table order
    QCheckBox* m_all;
    QComboBox* m_days;
    QProgressBar* m_progress;
    QLabel* m_status;
    QComboBox* m_singleNick;
    QLineEdit* m_tid;
};
