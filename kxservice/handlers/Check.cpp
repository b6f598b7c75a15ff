#include "Check.h"

#include "CheckAdjust.h"
#include "CheckBatch.h"
#include "CheckSum.h"
#include "store/DocEngine.h"
#include "store/DocKinds.h"

const std::vector<TMethodDef>& KxCheckMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m;
        // Count sheets are never audited one by one: the summary closes them.
        for (const TMethodDef& d : KxDocMethods<kKxCheck>("Check"))
            if (qstrcmp(d.name, "Check.Audit") != 0)
                m.push_back(d);
        m.push_back({"CheckBatch.Search", EAccess::Module, ETx::Read, KxCheckBatchSearch});
        m.push_back({"CheckBatch.Status", EAccess::Module, ETx::Read, KxCheckBatchStatus});
        m.push_back({"CheckBatch.Update", EAccess::Module, ETx::Write, KxCheckBatchUpdate});
        m.push_back({"CheckBatch.FrozeStorage", EAccess::Module, ETx::Write, KxCheckFrozeStorage});
        m.push_back({"Check.EmptySheet", EAccess::Module, ETx::Read, KxCheckEmptySheet});
        m.push_back({"Check.SumAudit", EAccess::Module, ETx::Write, KxCheckSumAudit});
        m.push_back({"Check.AdjStructure", EAccess::Module, ETx::Read, KxCheckAdjustStructure});
        m.push_back({"Check.AdjSearch", EAccess::Module, ETx::Read, KxCheckDiffSearch});
        m.push_back({"Check.AdjAudit", EAccess::Module, ETx::Write, KxCheckAdjustAudit});
        return m;
    }();
    return methods;
}
