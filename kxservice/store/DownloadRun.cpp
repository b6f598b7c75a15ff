#include "DownloadRun.h"

#include "Database.h"

namespace {
const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");
}

TDownloadPage KxDownloadPage(const TContext& ctx)
{
    TDownloadPage p;
    p.daynum = ctx.intParam(QStringLiteral("daynum"), 1);
    p.pageNo = ctx.intParam(QStringLiteral("page_no"), 1);
    p.pageSize = ctx.intParam(QStringLiteral("page_size"), 50);
    if (p.daynum < 1 || p.daynum > 366)
        throw TServiceError(kxBadParam, QStringLiteral("参数 daynum 应在 1 到 366 之间"));
    if (p.pageNo < 1)
        throw TServiceError(kxBadParam, QStringLiteral("参数 page_no 应大于零"));
    if (p.pageSize < 1 || p.pageSize > 100)
        throw TServiceError(kxBadParam, QStringLiteral("参数 page_size 应在 1 到 100 之间"));
    return p;
}

TDownloadRun::TDownloadRun(TContext& ctx, const QString& table, const QString& keyColumn, const QString& account,
                           const QString& status, const TDownloadPage& page)
    : m_ctx(ctx)
    , m_table(table)
    , m_keyColumn(keyColumn)
    , m_account(account)
    , m_page(page)
    , m_key{ctx.nickid, account, status, page.daynum}
{
    KxExec(ctx.db, QStringLiteral("INSERT INTO %1 (nickid, seller_nick, status, daynum) VALUES (?, ?, ?, ?)"
                                  " ON CONFLICT (nickid, seller_nick, status, daynum) DO NOTHING").arg(table), m_key);
    QSqlQuery s = KxExec(ctx.db, QStringLiteral("SELECT done_until, run_until, run_modified, %2, run_from, run_total, run_page, run_size"
                                                " FROM %1 WHERE nickid = ? AND seller_nick = ? AND status = ? AND daynum = ?").arg(table, keyColumn), m_key);
    s.next();
    m_doneUntil = s.value(0).toString();
    m_until = s.value(1).toString();
    lastModified = s.value(2).toString();
    lastKey = s.value(3).toString();
    m_from = s.value(4).toString();
    total = s.value(5).toLongLong();
    m_runPage = s.value(6).toLongLong();
    m_runSize = s.value(7).toLongLong();
}

bool TDownloadRun::starts() const
{
    // A first page starts a new run, unless it follows the run's one-row probe.
    const bool continuesProbe = m_page.pageNo == 1 && m_runPage == 1 && m_runSize == 1 && m_page.pageSize > 1 && !m_until.isEmpty();
    return m_page.pageNo == 1 && !continuesProbe;
}

void TDownloadRun::start(const QDateTime& now)
{
    m_until = now.toString(kStamp);
    m_from = now.addDays(-m_page.daynum).toString(kStamp);
    lastModified.clear();
    lastKey.clear();
}

bool TDownloadRun::answeredEnded(const QString& what)
{
    if (!m_until.isEmpty())
        return false;
    if (m_doneUntil.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("【%1】%2没有开始，请重新下载").arg(m_account, what));
    // The dialog counts its pages from the total, and the probe's row went with the probe, so a
    // total of one more than whole pages asks for one page more.
    m_ctx.answer.add(QStringLiteral("total_results"), 0);
    m_ctx.answer.add(QStringLiteral("fetched"), 0);
    return true;
}

void TDownloadRun::finish(bool more, qint64 fetched)
{
    if (more)
        KxExec(m_ctx.db, QStringLiteral("UPDATE %1 SET run_until = ?, run_modified = ?, %2 = ?, run_from = ?, run_total = ?,"
                                        " run_page = ?, run_size = ? WHERE nickid = ? AND seller_nick = ? AND status = ? AND daynum = ?")
                             .arg(m_table, m_keyColumn),
               QVariantList{m_until, lastModified, lastKey, m_from, total, m_page.pageNo, m_page.pageSize} + m_key);
    else
        KxExec(m_ctx.db, QStringLiteral("UPDATE %1 SET done_until = ?, run_until = '', run_modified = '', %2 = '', run_from = '',"
                                        " run_total = 0, run_page = 0, run_size = 0 WHERE nickid = ? AND seller_nick = ? AND status = ? AND daynum = ?")
                             .arg(m_table, m_keyColumn),
               QVariantList{m_until} + m_key);
    m_ctx.answer.add(QStringLiteral("total_results"), total);
    m_ctx.answer.add(QStringLiteral("fetched"), fetched);
}
