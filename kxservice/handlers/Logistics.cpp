#include "Logistics.h"

#include "store/Paging.h"
#include "store/Packet.h"
#include "uRequest.h"

namespace {
void searchCompanies(TContext& ctx);
}

const std::vector<TMethodDef>& KxLogisticsMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"Logistics.SearchMger", EAccess::Module, ETx::Read, searchCompanies},
    };
    return methods;
}

namespace {
using Col = TPacketColumn;

// One page of companies. nicklogistics_code is the company's code when the seller uses it
// (empty otherwise), logistics_fee the seller's fee for it (0 when unused).
void searchCompanies(TContext& ctx)
{
    QString where = QStringLiteral("c.nickid = ?");
    QVariantList args{ctx.nickid};
    const QString code = KxTrimLow(ctx.param(QStringLiteral("logistics_code")));
    if (!code.isEmpty()) {
        where += QStringLiteral(" AND c.logistics_code = ?");
        args << code;
    }
    const QString name = KxTrimLow(ctx.param(QStringLiteral("logistics_name")));
    if (!name.isEmpty()) {
        where += QStringLiteral(" AND c.logistics_name LIKE ? ESCAPE '\\'");
        args << KxLikeContains(name);
    }
    KxAnswerPage(ctx,
                 QStringLiteral("SELECT c.logistics_code, c.logistics_name, COALESCE(l.logistics_code, ''),"
                                " COALESCE(l.logistics_fee, 0), '' FROM kx_logistics_company c"
                                " LEFT JOIN kx_logistics l ON l.nickid = c.nickid AND l.logistics_code = c.logistics_code"),
                 where, args, QStringLiteral("c.logistics_code"),
                 {{QStringLiteral("logistics_code"), Col::Text, 20},
                  {QStringLiteral("logistics_name"), Col::Text, 100},
                  {QStringLiteral("nicklogistics_code"), Col::Text, 20},
                  {QStringLiteral("logistics_fee"), Col::Decimal, 0, 2},
                  {QStringLiteral("md5_key"), Col::Text, 32}});
}
}
