#pragma once
// What every list method shares: the page asked for, one page of a query answered with its
// counts, a LIKE pattern for a typed text, and the next free code of a series.
#include "dispatch/Context.h"

#include <vector>

// Paging rules shared by list methods: "curpage" 0 gives every row (lookups, trees), a
// positive page that page, -1 (a list opening) the first page; "pagesize" 1..5000, default 100.
struct TPage {
    qint64 page = 1;     // 0: all rows
    qint64 size = 100;
};
// The highest page asked for: with the largest page size still below 2^31 rows skipped.
inline constexpr qint64 kMaxPage = 400000;
TPage KxPageOf(const TContext& ctx);
// Adds "xmldata", "recordcount" and "pagecount" for one page of a query.
void KxAnswerPage(TContext& ctx, const QString& selectFrom, const QString& where, const QVariantList& args,
                  const QString& orderBy, const QList<struct TPacketColumn>& columns);
// The same with the select list ("a, b", no SELECT) and the FROM part (" FROM ...") apart, for
// select lists that hold subqueries.
void KxAnswerPageFrom(TContext& ctx, const QString& select, const QString& from, const QString& where, const QVariantList& args,
                      const QString& orderBy, const QList<struct TPacketColumn>& columns);
// A LIKE pattern (used with ESCAPE '\') matching texts that contain `v`, its '%' and '_'
// taken as plain characters.
QString KxLikeContains(const QString& v);
// The next free code of a series ("B" -> "B001", "B002", ...), unique per seller under
// concurrent saves (the counter row is updated inside the call's write transaction).
QString KxNextCode(TContext& ctx, const QString& series, const QString& prefix, const QString& table,
                   const QString& keyColumn, int width = 3);

// A day parameter: empty when not given, else exactly yyyy-MM-dd (anything else is refused).
QString KxDayParam(const TContext& ctx, const QString& name);

// The conditions of a list kept by the marketplace's documents (orders, refunds), read from the
// call's parameters, where the search dialog's and the module's fixed conditions arrive alike:
// the `exact` fields compare whole (100 characters at most), `like` as a part, the 0/1 `flag`
// when given, and "datefrom"/"dateto" (yyyy-MM-dd) bound `created` by whole days. Columns are
// named through `alias` ("h"); the seller's own rows only.
struct TMarketConditions {
    const char* alias;
    std::vector<const char*> exact;
    const char* like;
    const char* flag;
};
QString KxMarketConditions(const TContext& ctx, const TMarketConditions& c, QVariantList& args);
