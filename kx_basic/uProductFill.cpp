#include "uProductFill.h"

#include "uFrmSelect.h"
#include "uPClientDataSet.h"

#include <QStringList>

namespace {
const QStringList kGoodsConditions{QStringLiteral("is_del=0")};
}

bool KxPickGoods(QWidget* owner, TPClientDataSet* goods)
{
    return KxPick(owner, QStringLiteral("Select.Goods"), kGoodsConditions, goods);
}

bool KxLookupGoods(QWidget* owner, const QString& code, TPClientDataSet* goods)
{
    return KxLookup(owner, QStringLiteral("Select.Goods"), kGoodsConditions + QStringList{QStringLiteral("goodscode=") + code.trimmed()}, goods)
        == TKxLookupResult::Found;
}

void KxFillFromGoods(TPClientDataSet* row, TPClientDataSet* goods, std::initializer_list<const char*> fields)
{
    for (const char* f : fields)
        if (TField* from = goods->FindField(QString::fromLatin1(f)))
            if (TField* to = row->FindField(QString::fromLatin1(f)))
                to->SetValue(from->Value());
    TField* name = row->FindField(QStringLiteral("commodityname"));
    if (TField* from = goods->FindField(QStringLiteral("goodsname")); name && from && name->AsString().trimmed().isEmpty())
        name->SetAsString(from->AsString());
}

std::optional<QString> KxPickPropertyName(QWidget* owner, const QString& module)
{
    TPClientDataSet values;
    if (!KxPick(owner, module, {QStringLiteral("isuse=1")}, &values))
        return std::nullopt;
    const TField* name = values.FindField(QStringLiteral("propname"));
    return name ? std::optional<QString>(name->AsString()) : std::nullopt;
}
