#pragma once
// Marketplace downloads in runs (docs/orders.md): one state of one shop account over a window
// of days, fetched in pages. Page 1 starts a run (unless it follows the run's one-row probe):
// the marketplace's time now is the run's end, and it takes everything changed since the last
// completed run. Pages go on by (modified, key) from where the previous page stopped; the last
// page completes the run, whose end becomes where the next one starts. A run left half way
// leaves the books whole and is fetched again from the last completed run.
#include "dispatch/Context.h"

#include <QDateTime>

// The paging parameters of a download call, checked.
struct TDownloadPage {
    qint64 daynum = 1, pageNo = 1, pageSize = 50;
};
TDownloadPage KxDownloadPage(const TContext& ctx);

class TDownloadRun {
public:
    // The run's row in `table` (columns as kx_trade_sync's; `keyColumn` the last key fetched),
    // made when missing.
    TDownloadRun(TContext& ctx, const QString& table, const QString& keyColumn, const QString& account, const QString& status,
                 const TDownloadPage& page);

    // True when this page starts a new run; then call start().
    bool starts() const;
    void start(const QDateTime& now);
    // True (and answered: nothing fetched) when the run has ended; refused with "【account】`what`
    // 没有开始" when none ever began.
    bool answeredEnded(const QString& what);

    // Where the page begins; the page's last row moves it on.
    QString lastModified, lastKey;
    QString doneUntil() const { return m_doneUntil; }
    QString until() const { return m_until; }
    QString createdFrom() const { return m_from; }
    qint64 total = 0;

    // After the page: `more` keeps the run going, otherwise it is completed.
    void finish(bool more, qint64 fetched);

private:
    TContext& m_ctx;
    QString m_table, m_keyColumn, m_account;
    TDownloadPage m_page;
    QVariantList m_key;
    QString m_doneUntil, m_until, m_from;
    qint64 m_runPage = 0, m_runSize = 0;
};
