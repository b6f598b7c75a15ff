#include "History.h"

#include "dispatch/Rights.h"
#include "store/History.h"
#include "store/Packet.h"
#include "store/Paging.h"
#include "uRequest.h"

namespace {
void search(TContext& ctx);
}

const std::vector<TMethodDef>& KxHistoryMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"History.Search", EAccess::Module, ETx::Read, search},
    };
    return methods;
}

namespace {
using Col = TPacketColumn;

// `area`: the record's area as its module's methods name it ("Receive", "Supplier");
// `recordkey`: the document's number or the row's key. The operator must be allowed to read
// the record itself. Answers the page's entries (`xmldata`) and all their changes (`xmldetail`).
void search(TContext& ctx)
{
    const QString area = ctx.need(QStringLiteral("area")).trimmed();
    const QString key = ctx.need(QStringLiteral("recordkey")).trimmed();
    const THistoryArea where = KxHistoryAreaOf(area);
    if (where.table.isEmpty())
        throw TServiceError(kxBadParam, QStringLiteral("没有【%1】的修改记录").arg(area.left(40)));
    KxRequireRight(ctx, where.readMethod);

    // The page's entry numbers first (from the record's index alone); being the record's
    // entries between two numbers, the page's rows and their changes are then each one range.
    const TPage page = KxPageOf(ctx);
    const QString record = QStringLiteral(" WHERE nickid = ? AND tablename = ? AND recordkey = ?");
    QString sql = QStringLiteral("SELECT histid FROM kx_history") + record + QStringLiteral(" ORDER BY histid DESC");
    QVariantList args{ctx.nickid, where.table, key};
    const qint64 offset = page.page > 0 ? (page.page - 1) * page.size : 0;
    if (page.page > 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        args << page.size << offset;
    }
    qint64 first = 0, last = 0, rows = 0;
    {
        QSqlQuery q = KxExec(ctx.db, sql, args);
        while (q.next()) {
            if (rows++ == 0)
                last = q.value(0).toLongLong();
            first = q.value(0).toLongLong();
        }
    }
    const QVariantList range{ctx.nickid, where.table, key, first, last};
    {
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT histid, created, operid, opername, client, action, changes FROM kx_history")
                                         + record + QStringLiteral(" AND histid BETWEEN ? AND ? ORDER BY histid DESC"), range);
        ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("histid"), Col::Integer}, {QStringLiteral("created"), Col::Text, 20},
                                                                          {QStringLiteral("operid"), Col::Text, 20}, {QStringLiteral("opername"), Col::Text, 50},
                                                                          {QStringLiteral("client"), Col::Text, 64}, {QStringLiteral("action"), Col::Text, 20},
                                                                          {QStringLiteral("changes"), Col::Integer}}));
    }
    TQueryPacket changes({{QStringLiteral("histid"), Col::Integer}, {QStringLiteral("n"), Col::Integer},
                          {QStringLiteral("line"), Col::Integer}, {QStringLiteral("item"), Col::Text, 20},
                          {QStringLiteral("kind"), Col::Text, 1}, {QStringLiteral("field"), Col::Text, 40},
                          {QStringLiteral("caption"), Col::Text, 40}, {QStringLiteral("oldvalue"), Col::Text, 1000},
                          {QStringLiteral("newvalue"), Col::Text, 1000}});
    if (rows > 0) {
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT c.histid, c.n, c.line, c.item, c.kind, c.field, c.caption, c.oldvalue, c.newvalue"
                                                    " FROM kx_history h JOIN kx_history_change c ON c.nickid = h.nickid AND c.histid = h.histid"
                                                    " WHERE h.nickid = ? AND h.tablename = ? AND h.recordkey = ? AND h.histid BETWEEN ? AND ?"
                                                    " ORDER BY c.histid DESC, c.n"),
                             range);
        changes.add(q);
    }
    ctx.answer.addPacket(QStringLiteral("xmldetail"), changes.finish());
    qint64 total = offset + rows;
    if (page.page > 0 && (rows == page.size || (rows == 0 && offset > 0)))
        total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*) FROM kx_history WHERE nickid = ? AND tablename = ? AND recordkey = ?"),
                         {ctx.nickid, where.table, key}).toLongLong();
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}
}
