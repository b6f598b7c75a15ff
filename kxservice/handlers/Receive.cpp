#include "Receive.h"

#include "store/DocEngine.h"
#include "store/DocKinds.h"

namespace {
void docStatus(TContext& ctx)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT 0, '新建' UNION ALL SELECT 1, '已保存' UNION ALL SELECT 2, '已审核'"));
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("status"), TPacketColumn::Integer}, {QStringLiteral("statusname"), TPacketColumn::Text, 20}}));
}
}

const std::vector<TMethodDef>& KxReceiveMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m = KxDocMethods<kKxReceive>("Receive");
        // The status list of every stock document form.
        m.push_back({"Lookup.DocStatus", EAccess::Module, ETx::Read, docStatus});
        return m;
    }();
    return methods;
}
