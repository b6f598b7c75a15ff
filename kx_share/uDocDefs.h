#pragma once
// Starting points of the definitions of the document windows, so that a member states only
// where its document differs: stock documents (SKU lines from "Select.Commodity", a quantity
// typed after each code) and price documents (new prices typed after each code, no party,
// storage or total).
#include "ufrmDocEdit.h"
#include "ufrmDocList.h"

// A stock document's list: the id, the header columns between the id and the stamps, SKU
// lines with the quantity and `prices` (shown with two decimals). The voucher's data sets are
// `reportName` and `reportName` + "明细".
TKxDocListDef KxStockListDef(const QString& idField, const QStringList& headerColumns, const QString& qtyField,
                             const QStringList& prices, const QString& reportName);
// A stock document's edit window: the id and quantity, the header boxes between the id and
// the remark, SKU lines with `prices` copied from the product, the remark typed, creator and
// auditor shown. The audit rule, messages, party, storages and amounts are the member's.
TKxDocEditDef KxStockEditDef(const QString& idField, const QStringList& headerBoxes, const QString& qtyField,
                             const QStringList& prices, const QString& reportName);

// A price document ("adjustid"): lines keyed by `codeField` with `fields` from the pick
// (read-only) and the new prices `entryFields` typed in turn; saved without checks or total,
// audited only once saved, "没有数据变动，不用提交数据！" when nothing changed.
TKxDocListDef KxPriceListDef(const QString& codeField, const QStringList& fields, const QStringList& entryFields,
                             const QString& reportName);
TKxDocEditDef KxPriceEditDef(const QString& codeField, const QStringList& fields, const QStringList& entryFields,
                             const QString& reportName);
