#include "uDocDefs.h"

namespace {

const QString kSeq = QStringLiteral("seq");
const QString kCode = QStringLiteral("commoditycode");
const QString kMemo = QStringLiteral("memo");

bool isPrice(const QString& field)
{
    return field.endsWith(QLatin1String("price")) || field == QLatin1String("wholesale") || field == QLatin1String("newwhole");
}

} // namespace

TKxDocListDef KxStockListDef(const QString& idField, const QStringList& headerColumns, const QString& qtyField,
                             const QStringList& prices, const QString& reportName)
{
    TKxDocListDef s;
    s.idField = idField;
    s.masterFields = QStringList{idField} + headerColumns + KxStampFields() + QStringList{QStringLiteral("status"), kMemo};
    s.detailFields = QStringList{kSeq, kCode} + KxSkuFields() + QStringList{qtyField} + prices;
    s.amountFields = QStringList{qtyField} + prices;
    for (const QString& f : headerColumns)
        if (f.endsWith(QLatin1String("money")))
            s.amountFields << f;
    s.qtyField = qtyField;
    s.reportMaster = reportName;
    s.reportDetail = reportName + QStringLiteral("明细");
    return s;
}

TKxDocEditDef KxStockEditDef(const QString& idField, const QStringList& headerBoxes, const QString& qtyField,
                             const QStringList& prices, const QString& reportName)
{
    TKxDocEditDef s;
    s.idField = idField;
    s.qtyField = qtyField;
    s.entryFields = {qtyField};
    s.markedFields = {qtyField};
    s.headerFields = QStringList{idField} + headerBoxes + QStringList{kMemo} + KxStampFields();
    s.headerEdits = {kMemo};
    s.lineFields = QStringList{kSeq, kCode} + KxSkuFields() + QStringList{qtyField} + prices;
    s.productFields = KxSkuFields() + prices;
    s.amountFields = QStringList{qtyField} + prices;
    s.reportMaster = reportName;
    s.reportDetail = reportName + QStringLiteral("明细");
    return s;
}

TKxDocListDef KxPriceListDef(const QString& codeField, const QStringList& fields, const QStringList& entryFields,
                             const QString& reportName)
{
    TKxDocListDef s;
    s.idField = QStringLiteral("adjustid");
    s.masterFields = QStringList{s.idField} + KxStampFields() + QStringList{QStringLiteral("status"), kMemo};
    s.detailFields = QStringList{kSeq, codeField} + fields + entryFields;
    for (const QString& f : s.detailFields)
        if (isPrice(f))
            s.amountFields << f;
    s.reportMaster = reportName;
    s.reportDetail = reportName + QStringLiteral("明细");
    return s;
}

TKxDocEditDef KxPriceEditDef(const QString& codeField, const QStringList& fields, const QStringList& entryFields,
                             const QString& reportName)
{
    TKxDocEditDef s;
    s.idField = QStringLiteral("adjustid");
    s.codeField = codeField;
    s.entryFields = entryFields;
    s.entryFlow = TKxEntryFlow::Across;
    s.markedFields = entryFields;
    s.shopFields = {};
    s.unchangedMessage = QStringLiteral("没有数据变动，不用提交数据！");
    s.headerFields = QStringList{s.idField, kMemo} + KxStampFields();
    s.headerEdits = {kMemo};
    s.lineFields = QStringList{kSeq, codeField} + fields + entryFields;
    s.productFields = fields;
    for (const QString& f : s.lineFields)
        if (isPrice(f))
            s.amountFields << f;
    s.reportMaster = reportName;
    s.reportDetail = reportName + QStringLiteral("明细");
    return s;
}
