#include "StockDocs.h"

#include "store/DocEngine.h"
#include "store/DocKinds.h"

namespace {
// The seller's shops; "isuse" 1 or 0 narrows them to those in use or not.
void shopLookup(TContext& ctx)
{
    QString sql = QStringLiteral("SELECT shopcode, shopname, isuse FROM kx_shop WHERE nickid = ?");
    QVariantList args{ctx.nickid};
    const QString isuse = ctx.param(QStringLiteral("isuse")).trimmed();
    if (!isuse.isEmpty()) {
        if (isuse != QLatin1String("0") && isuse != QLatin1String("1"))
            throw TServiceError(kxBadParam, QStringLiteral("参数 isuse 应为 0 或 1：%1").arg(isuse.left(20)));
        sql += QStringLiteral(" AND isuse = ?");
        args << isuse.toInt();
    }
    QSqlQuery q = KxExec(ctx.db, sql + QStringLiteral(" ORDER BY shopcode"), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("shopcode"), TPacketColumn::Text, 20},
                                                                      {QStringLiteral("shopname"), TPacketColumn::Text, 100},
                                                                      {QStringLiteral("isuse"), TPacketColumn::Boolean}}));
}
}

const std::vector<TMethodDef>& KxStockDocMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m;
        for (const auto& kind : {KxDocMethods<kKxOutput>("Output"), KxDocMethods<kKxWhole>("Whole"), KxDocMethods<kKxResult>("Result"),
                                 KxDocMethods<kKxAllocate>("Allocate"), KxDocMethods<kKxAdjust>("Adjust"),
                                 KxDocMethods<kKxAdjustCost>("AdjustCost"), KxDocMethods<kKxAdjustPrice>("AdjustPrice"),
                                 KxDocMethods<kKxAdjustItemCost>("AdjustItemCost"), KxDocMethods<kKxAdjustItemPrice>("AdjustItemPrice")})
            m.insert(m.end(), kind.begin(), kind.end());
        m.push_back({"Lookup.Shop", EAccess::Module, ETx::Read, shopLookup});
        return m;
    }();
    return methods;
}
