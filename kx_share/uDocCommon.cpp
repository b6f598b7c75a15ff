#include "uDocCommon.h"

#include "TDecimal.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "ufrmBase.h"

bool KxLoadLookupList(TfrmBase* form, const QString& param, const QStringList& lines, TPClientDataSet* into)
{
    const QString method = form->GetParam(param);
    if (method.isEmpty())
        return true;
    THttpWeb web;
    web.setModule(method);
    web.Request()->AddParamLines(lines);
    if (!web.SendData())
        return false;
    return into->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
}

void KxPrintVoucher(TfrmBase* form, TPClientDataSet* master, const QString& masterName, TPClientDataSet* detail,
                    const QString& detailName, const QString& masterLabels)
{
    const QString rmf = form->GetParam(QStringLiteral("rmf"));
    if (rmf.isEmpty())
        return;
    // The name comes from the service; a path in it would reach outside rmf/.
    if (!KxIsPlainFileName(rmf)) {
        KxShowError(QStringLiteral("报表文件名不正确：%1").arg(rmf));
        return;
    }
    form->SetRePortFile(rmf);
    IKXReportEx* report = form->GetReportEx();
    report->AddCDataSet(master, masterName, form->GetParam(masterLabels));
    if (detail)
        report->AddCDataSet(detail, detailName, form->GetParam(QStringLiteral("detaillabels")));
    report->PreviewReport();
    // The wrapper keeps nothing of this document once the preview is closed.
    report->VariablesClear();
    report->RMDataSetClear();
}

int KxDocColumnWidth(const QString& field)
{
    if (field.endsWith(QLatin1String("name")) || field == QLatin1String("memo"))
        return 160;
    if (field.endsWith(QLatin1String("time")) || field.endsWith(QLatin1String("id")) || field.endsWith(QLatin1String("ren")))
        return 140;
    if (field == QLatin1String("seq"))
        return 50;
    return 100;
}

bool TKxMoneyLines::Of(const TPClientDataSet* header) const
{
    const TField* type = typeField.isEmpty() || !header->Active() || header->IsEmpty() ? nullptr : header->FindField(typeField);
    return type && type->AsString().trimmed() == typeValue;
}

bool KxAddLineAmounts(TPClientDataSet* lines, const QString& qtyField, const QList<TKxLineAmount>& amounts,
                      std::function<bool()> moneyLines)
{
    if (amounts.isEmpty() || !lines->Active())
        return false;
    bool added = false;
    for (const TKxLineAmount& a : amounts)
        if (!lines->FindField(a.field)) {
            lines->AddCalcField(a.field, ftDecimal, 0, 18, 2);
            added = true;
        }
    // A reload that kept the fields keeps their calculation too.
    if (!added)
        return false;
    lines->SetOnCalcFields([qtyField, amounts, moneyLines](TPClientDataSet& ds) {
        const TField* qty = ds.FindField(qtyField);
        const bool money = moneyLines && moneyLines();
        for (const TKxLineAmount& a : amounts) {
            const TField* price = ds.FindField(a.priceField);
            const TField* discount = a.discountField.isEmpty() ? nullptr : ds.FindField(a.discountField);
            TField* target = ds.FindField(a.field);
            if (!target)
                continue;
            if (money) {
                target->SetAsDecimal(price && !price->IsNull() ? price->AsDecimal() : TDecimal::FromInteger(0));
                continue;
            }
            if (!qty || !price || qty->IsNull() || price->IsNull()) {
                target->SetAsDecimal(TDecimal::FromInteger(0));
                continue;
            }
            TDecimal unit = price->AsDecimal();
            if (discount && !discount->IsNull())
                unit = unit - discount->AsDecimal();
            target->SetAsDecimal(qty->AsDecimal() * unit);
        }
    });
    return true;
}

void KxShowUnitPrices(TGridView* grid, const QList<TKxLineAmount>& amounts, bool moneyLines)
{
    static const char* const kHidden = "kxHiddenForMoney";
    bool changed = false;
    for (const TKxLineAmount& a : amounts) {
        TGridColumn* c = grid->ColumnByField(a.priceField);
        if (!c)
            continue;
        if (moneyLines && c->Visible) {
            c->Visible = false;
            c->setProperty(kHidden, true);
            changed = true;
        } else if (!moneyLines && c->property(kHidden).toBool()) {
            c->Visible = true;
            c->setProperty(kHidden, false);
            changed = true;
        }
    }
    if (changed)
        grid->ColumnsChanged();
}

QStringList KxSkuFields()
{
    return {QStringLiteral("barcode"), QStringLiteral("commodityname"), QStringLiteral("propstyle"),
            QStringLiteral("propcolor"), QStringLiteral("propsize")};
}

QStringList KxStampFields()
{
    return {QStringLiteral("inputren"), QStringLiteral("inputtime"), QStringLiteral("auditren"), QStringLiteral("audittime")};
}
