#include "DocKinds.h"

#include "StockFreeze.h"

namespace {
TDocKind named(const char* doctype, const char* title, const char* table, const char* idField, const char* prefix)
{
    TDocKind k;
    k.doctype = doctype;
    k.title = title;
    k.table = table;
    k.idField = idField;
    k.prefix = prefix;
    return k;
}
}

// Storage types: 1 dispatch storages (goods are received there), 2 shop-floor storages (sold
// from), 3 return storages (sent back to suppliers from). Transfers and adjustments take any.

const TDocKind kKxReceive = [] {
    TDocKind k = named("receive", "采购入库单", "kx_receive", "receiveid", "RK");
    k.party = EDocParty::Supplier;
    k.partyMissing = "供应商信息不能为空！";
    k.storages = {{"storageid", "storagename", {1}, "仓库信息不能为空！"}};
    k.totalField = "receivemoney";
    k.quantityField = "receivenum";
    k.productPrices = {"costprice", "saleprice"};
    k.amountPrice = "costprice";
    k.stock = EDocStock::In;
    k.prices = EDocPrices::MovingCost;
    return k;
}();

const TDocKind kKxOutput = [] {
    TDocKind k = named("output", "零售出库单", "kx_output", "outputid", "LS");
    k.party = EDocParty::Member;
    k.storages = {{"storageid", "storagename", {2}, "出货仓库不能为空！"}};
    k.totalField = "outputmoney";
    k.quantityField = "outputnum";
    k.productPrices = {"saleprice"};
    k.editable = {"disprice"};
    k.amountPrice = "saleprice";
    k.amountDiscount = "disprice";
    k.stock = EDocStock::Out;
    return k;
}();

const TDocKind kKxWhole = [] {
    TDocKind k = named("whole", "批发出库单", "kx_whole", "wholeid", "PF");
    k.party = EDocParty::Member;
    // Saved without a storage; it must have one before it is audited.
    k.storages = {{"storageid", "storagename", {2}, "出货仓库不能为空！", false}};
    k.totalField = "wholemoney";
    k.quantityField = "wholenum";
    k.productPrices = {"wholesale"};
    k.editable = {"disprice"};
    k.amountPrice = "wholesale";
    k.amountDiscount = "disprice";
    k.stock = EDocStock::Out;
    return k;
}();

const TDocKind kKxResult = [] {
    TDocKind k = named("result", "采购退单", "kx_result", "resultid", "CT");
    k.party = EDocParty::Supplier;
    k.partyMissing = "供应商信息不能为空！";
    k.storages = {{"storageid", "storagename", {3}, "退货仓库不能为空！"}};
    k.totalField = "resultmoney";
    k.quantityField = "resultnum";
    k.productPrices = {"costprice", "saleprice"};
    k.amountPrice = "costprice";
    k.stock = EDocStock::Out;
    return k;
}();

const TDocKind kKxAllocate = [] {
    TDocKind k = named("allocate", "调拨单", "kx_allocate", "allocateid", "DB");
    k.storages = {{"out_storageid", "out_storagename", {}, "调出仓库不能为空！"}, {"in_storageid", "in_storagename", {}, "调入仓库不能为空！"}};
    k.inShop = true;
    k.quantityField = "allocatenum";
    k.productPrices = {"costprice", "saleprice"};
    k.stock = EDocStock::Transfer;
    return k;
}();

const TDocKind kKxAdjust = [] {
    TDocKind k = named("adjust", "库存调整单", "kx_adjust", "adjustid", "TZ");
    k.storages = {{"storageid", "storagename", {}, "仓库信息不能为空！"}};
    k.typeField = "adjusttype";
    k.typeDefault = "库存调整单";
    k.quantityField = "adjustnum";
    k.signedQuantity = true;
    k.productPrices = {"costprice", "saleprice"};
    k.stock = EDocStock::Signed;
    return k;
}();

// A count sheet: what was found on one shelf of a frozen storage. 0 found is a count; its audit
// is the stocktake's summary, which moves no stock (the adjustments do).
const TDocKind kKxCheck = [] {
    TDocKind k = named("check", "盘点单", "kx_check", "checkid", "PD");
    k.storages = {{"storageid", "storagename", {}, "仓库信息不能为空！"}};
    k.headerTexts = {"checkcode", "rackcode"};
    k.auditedFlag = "issum";
    k.quantityField = "checknum";
    k.zeroQuantity = true;
    k.productPrices = {"costprice", "saleprice"};
    k.saveCheck = KxCheckSheetSave;
    return k;
}();

namespace {
TDocKind priceKind(const char* doctype, const char* title, const char* table, const char* prefix, EDocLevel level, bool sale)
{
    TDocKind k = named(doctype, title, table, "adjustid", prefix);
    k.hasShop = false;
    k.level = level;
    k.prices = EDocPrices::Set;
    if (sale) {
        k.productPrices = {"costprice", "saleprice", "wholesale"};
        k.editable = {"newprice", "newwhole"};
        k.priceSets = {{"newprice", "saleprice"}, {"newwhole", "wholesale"}};
    } else {
        k.productPrices = {"costprice", "saleprice"};
        k.editable = {"newprice"};
        k.priceSets = {{"newprice", "costprice"}};
    }
    return k;
}
}

const TDocKind kKxAdjustCost = priceKind("adjustcost", "母商品进价调单", "kx_adjustcost", "MJ", EDocLevel::Goods, false);
const TDocKind kKxAdjustPrice = priceKind("adjustprice", "母商品售价调单", "kx_adjustprice", "MS", EDocLevel::Goods, true);
const TDocKind kKxAdjustItemCost = priceKind("adjustitemcost", "商品进价调单", "kx_adjustitemcost", "SJ", EDocLevel::Product, false);
const TDocKind kKxAdjustItemPrice = priceKind("adjustitemprice", "商品售价调单", "kx_adjustitemprice", "SS", EDocLevel::Product, true);

namespace {
// A picking's carrier and waybill number as a save would write them (`fields` with the
// picking's own number under "pickingid", empty while new): refused when another picking of
// the seller has the same carrier and number.
void waybillCheck(TContext& ctx, const QHash<QString, QString>& fields)
{
    const QString id = fields.value(QStringLiteral("pickingid"));
    const QString company = fields.value(QStringLiteral("company_code")).trimmed(), number = fields.value(QStringLiteral("out_sid")).trimmed();
    if (number.isEmpty())
        return;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT pickingid FROM kx_picking WHERE nickid = ? AND company_code = ? AND out_sid = ? AND pickingid <> ?"),
                         {ctx.nickid, company, number, id});
    if (q.next())
        throw TServiceError(kxRefused, QStringLiteral("运单号【%1】已用于拣货单【%2】，同一物流公司的运单号不能重复！").arg(number, q.value(0).toString()));
}
}

// A picking list: one shipment's goods out of a dispatch storage, made from marketplace orders
// (their consignee, memos and lines) or typed in. Its audit takes the goods out of the storage
// (a warehouse audits the day's lists in one batch); every line must name a product by then.
// A busy day makes thousands of lists: six digits keep the numbers in order as text.
const TDocKind kKxPicking = [] {
    TDocKind k = named("picking", "拣货单", "kx_picking", "pickingid", "JH");
    k.numberWidth = 6;
    k.batchAudit = true;
    k.stock = EDocStock::Out;
    k.storages = {{"storageid", "storagename", {1}, "拣货仓库不能为空！"}};
    k.totalField = "pickingmoney";
    k.totalOf = "total_fee";
    // A merged picking joins the messages and memos of all its orders.
    k.texts = {{"buyer_nick", 50},        {"seller_nick", 50, EDocEdit::OnInsert}, {"receiver_name", 50},
               {"receiver_state", 30},    {"receiver_city", 30},    {"receiver_district", 30},
               {"receiver_address", 200}, {"receiver_zip", 10},     {"receiver_mobile", 30},
               {"receiver_phone", 30},    {"buyer_email", 100},     {"buyer_message", 4000},
               {"seller_memo", 4000},     {"company_code", 20},     {"out_sid", 50}};
    k.decimals = {"cod_fee", "seller_cod_fee", "buyer_cod_fee", "out_fee", "post_fee"};
    k.quantityField = "num";
    k.editable = {"price", "total_fee"};
    k.lineTexts = {{"tid", 30, EDocEdit::OnInsert}, {"oid", 30, EDocEdit::OnInsert}, {"title", 200}, {"num_iid", 30},
                   {"sku_id", 30}, {"sku_properties_name", 200}, {"seller_nick", 50}};
    k.codeOptional = true;
    k.lineStock = true;
    k.saveCheck = waybillCheck;
    k.tickable = true;
    k.storedFlag = "issend";
    return k;
}();

// A return receipt: money refunded to buyers and the goods that came back with it, made from
// finished refunds or typed in. Its audit puts the goods of each line that sent goods back
// into the return storage; a line of money only has no stock effect.
const TDocKind kKxRefunding = [] {
    TDocKind k = named("refunding", "退款单", "kx_refunding", "refundingid", "TK");
    k.numberWidth = 6;
    k.stock = EDocStock::In;
    k.storages = {{"storageid", "storagename", {3}, "退款仓库不能为空！"}};
    k.totalField = "refundingmoney";
    k.totalOf = "refund_fee";
    k.texts = {{"buyer_nick", 50}, {"seller_nick", 50}};
    k.quantityField = "num";
    k.editable = {"total_fee", "refund_fee"};
    k.lineTexts = {{"refund_id", 30, EDocEdit::OnInsert}, {"title", 200}, {"num_iid", 30}, {"sku_id", 30},
                   {"sku_properties_name", 200}, {"seller_nick", 50}};
    k.codeOptional = true;
    k.goodsFlag = "has_good_return";
    return k;
}();
