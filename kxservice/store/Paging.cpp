#include "Paging.h"

#include "BulkWrite.h"
#include "Packet.h"

#include <QDate>

QString KxLikeContains(const QString& v)
{
    QString e = v;
    e.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('%'), QLatin1String("\\%")).replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + e + QLatin1Char('%');
}

TPage KxPageOf(const TContext& ctx)
{
    TPage p;
    p.page = ctx.intParam(QStringLiteral("curpage"), 1);
    if (p.page == -1)
        p.page = 1;
    if (p.page < 0)
        throw TServiceError(kxBadParam, QStringLiteral("参数 curpage 不正确：%1").arg(p.page));
    p.size = ctx.intParam(QStringLiteral("pagesize"), 100);
    if (p.size < 1 || p.size > 5000)
        throw TServiceError(kxBadParam, QStringLiteral("参数 pagesize 应在 1 到 5000 之间"));
    // The offset of the page must stay a count of rows a table can hold.
    if (p.page > kMaxPage)
        throw TServiceError(kxBadParam, QStringLiteral("参数 curpage 应在 -1 到 %1 之间").arg(kMaxPage));
    return p;
}

void KxAnswerPage(TContext& ctx, const QString& selectFrom, const QString& where, const QVariantList& args,
                  const QString& orderBy, const QList<TPacketColumn>& columns)
{
    const qsizetype at = selectFrom.indexOf(QLatin1String(" FROM "));
    KxAnswerPageFrom(ctx, selectFrom.left(at).mid(7), selectFrom.mid(at), where, args, orderBy, columns);
}

void KxAnswerPageFrom(TContext& ctx, const QString& select, const QString& from, const QString& where, const QVariantList& args,
                      const QString& orderBy, const QList<TPacketColumn>& columns)
{
    const TPage page = KxPageOf(ctx);
    QString sql = QStringLiteral("SELECT ") + select + from + QStringLiteral(" WHERE ") + where + QStringLiteral(" ORDER BY ") + orderBy;
    QVariantList a = args;
    const qint64 offset = page.page > 0 ? (page.page - 1) * page.size : 0;
    if (page.page > 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        a << page.size << offset;
    }
    QSqlQuery q = KxExec(ctx.db, sql, a);
    int rows = 0;
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, columns, &rows));
    // Every row, or a page that is not full, tells the count: only other pages count.
    qint64 total = offset + rows;
    if (page.page > 0 && (rows == page.size || (rows == 0 && offset > 0)))
        total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*)") + from + QStringLiteral(" WHERE ") + where, args).toLongLong();
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}

QString KxNextCode(TContext& ctx, const QString& series, const QString& prefix, const QString& table, const QString& keyColumn, int width)
{
    return KxNextCodes(ctx.db, ctx.nickid, series, prefix, table, keyColumn, 1, {}, width).first();
}


namespace {
QString dayParamOf(const TContext& ctx, const QString& name)
{
    const QString v = ctx.param(name).trimmed();
    if (v.isEmpty())
        return v;
    const QDate d = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"));
    if (v.size() != 10 || !d.isValid())
        throw TServiceError(kxBadParam, QStringLiteral("参数 %1 应为日期（yyyy-MM-dd）：%2").arg(name, v.left(40)));
    return v;
}
}

QString KxDayParam(const TContext& ctx, const QString& name)
{
    return dayParamOf(ctx, name);
}

QString KxMarketConditions(const TContext& ctx, const TMarketConditions& c, QVariantList& args)
{
    const QString a = QString::fromLatin1(c.alias) + QLatin1Char('.');
    QString where = a + QStringLiteral("nickid = ?");
    args = {ctx.nickid};
    for (const char* exact : c.exact) {
        const QString v = ctx.param(QLatin1String(exact)).trimmed();
        if (v.isEmpty())
            continue;
        if (v.size() > 100)
            throw TServiceError(kxBadParam, QStringLiteral("查询条件 %1 过长").arg(QLatin1String(exact)));
        where += QStringLiteral(" AND ") + a + QLatin1String(exact) + QStringLiteral(" = ?");
        args << v;
    }
    const QString part = ctx.param(QLatin1String(c.like)).trimmed();
    if (!part.isEmpty()) {
        where += QStringLiteral(" AND ") + a + QLatin1String(c.like) + QStringLiteral(" LIKE ? ESCAPE '\\'");
        args << KxLikeContains(part.left(100));
    }
    if (!ctx.param(QLatin1String(c.flag)).trimmed().isEmpty()) {
        where += QStringLiteral(" AND ") + a + QLatin1String(c.flag) + QStringLiteral(" = ?");
        args << (ctx.intParam(QLatin1String(c.flag), 0) != 0 ? 1 : 0);
    }
    const QString from = dayParamOf(ctx, QStringLiteral("datefrom")), to = dayParamOf(ctx, QStringLiteral("dateto"));
    if (!from.isEmpty()) {
        where += QStringLiteral(" AND ") + a + QStringLiteral("created >= ?");
        args << from;
    }
    if (!to.isEmpty()) {
        where += QStringLiteral(" AND ") + a + QStringLiteral("created < ?");
        args << QDate::fromString(to, QStringLiteral("yyyy-MM-dd")).addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    }
    return where;
}
