#pragma once
// "批量评价": rates the orders it is handed, one by one, with one result and text for all.
#include "ufrmBase.h"

#include <QList>
#include <QPair>

#include <functional>

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QProgressBar;

class TfrmTradeRate : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmTradeRate(QWidget* owner = nullptr);

    // (order number, shop account) pairs, in the order they are rated.
    void SetOrders(const QList<QPair<QString, QString>>& orders);
    // Runs after each rating the marketplace took, with the order number.
    void SetOnRated(std::function<void(const QString&)> onRated) { m_onRated = std::move(onRated); }

    QButtonGroup* Results() const { return m_results; }
    QPlainTextEdit* ContentEdit() const { return m_content; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* StatusLine() const { return m_status; }

    void btnRateClick();

private:
    QList<QPair<QString, QString>> m_orders;
    std::function<void(const QString&)> m_onRated;
    QButtonGroup* m_results;
    QPlainTextEdit* m_content;
    QProgressBar* m_progress;
    QLabel* m_status;
};
