#pragma once
// Stock moved the way operators move it, through the service's own document methods: a
// purchase receipt and a typed-in picking list, each saved and audited. For tests that need
// stock to change as it does in use.
#include "ServiceFixture.h"

// A receipt of `quantity` pieces of `code` into `storage`, saved (status 1); its header as the
// save answered it, empty when the save failed.
inline QString KxSaveReceipt(TServiceFixture& fx, const TCaller& who, const QString& code, const QString& storage, int quantity)
{
    const TCallResult empty = fx.call(who, "Receive.Load", {{"receiveid", ""}});
    TPClientDataSet master, detail;
    if (!empty.ok || !master.SetKXXMLData(empty.value("xmlmaster")) || !detail.SetKXXMLData(empty.value("xmldetail")))
        return QString();
    const QString key = QUuid::createUuid().toString(QUuid::Id128);
    master.Append();
    master.FieldByName("md5_key")->SetAsString(key);
    master.FieldByName("shopcode")->SetAsString("S01");
    master.FieldByName("suppliercode")->SetAsString(fx.scalar("SELECT MIN(suppliercode) FROM kx_supplier WHERE nickid = ?", {who.nick}).toString());
    master.FieldByName("storageid")->SetAsString(storage);
    master.FieldByName("status")->SetAsInteger(0);
    master.Post();
    detail.Append();
    detail.FieldByName("md5_key")->SetAsString(key);
    detail.FieldByName("seq")->SetAsInteger(1);
    detail.FieldByName("commoditycode")->SetAsString(code);
    detail.FieldByName("receivenum")->SetAsInteger(quantity);
    detail.Post();
    const TCallResult r = fx.call(who, "Receive.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", detail.GetKXXMLDelta()}});
    return r.ok ? r.value("xmlmaster") : QString();
}

// The audit of a saved receipt, as its edit form sends it.
inline TCallResult KxAuditReceipt(TServiceFixture& fx, const TCaller& who, const QString& header)
{
    TPClientDataSet master;
    if (!master.SetKXXMLData(header))
        return {false, QStringLiteral("<not a receipt header>"), {}};
    master.Edit();
    master.FieldByName("status")->SetAsInteger(2);
    master.Post();
    return fx.call(who, "Receive.Audit", {}, {{"deltamaster", master.GetKXXMLDelta()}});
}

inline void KxReceiveAudited(TServiceFixture& fx, const TCaller& who, const QString& code, const QString& storage, int quantity)
{
    const QString header = KxSaveReceipt(fx, who, code, storage, quantity);
    QVERIFY(!header.isEmpty());
    const TCallResult r = KxAuditReceipt(fx, who, header);
    QVERIFY2(r.ok, qPrintable(r.error));
}

// A picking list typed in from `storage` with one line, saved and audited.
inline void KxPickAudited(TServiceFixture& fx, const TCaller& who, const QString& code, const QString& storage, int quantity)
{
    const TCallResult empty = fx.call(who, "Picking.Load", {{"pickingid", ""}});
    QVERIFY2(empty.ok, qPrintable(empty.error));
    TPClientDataSet master, lines;
    QVERIFY(master.SetKXXMLData(empty.value("xmlmaster")));
    QVERIFY(lines.SetKXXMLData(empty.value("xmldetail")));
    const QString key = QUuid::createUuid().toString(QUuid::Id128);
    master.Append();
    master.FieldByName("md5_key")->SetAsString(key);
    master.FieldByName("storageid")->SetAsString(storage);
    master.FieldByName("buyer_nick")->SetAsString("买家");
    master.FieldByName("seller_nick")->SetAsString("varnoq_demo");
    master.Post();
    lines.Append();
    lines.FieldByName("md5_key")->SetAsString(key);
    lines.FieldByName("seq")->SetAsInteger(1);
    lines.FieldByName("commoditycode")->SetAsString(code);
    lines.FieldByName("num")->SetAsInteger(quantity);
    lines.FieldByName("title")->SetAsString("宝贝");
    lines.Post();
    TCallResult r = fx.call(who, "Picking.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", lines.GetKXXMLDelta()}});
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(master.SetKXXMLData(r.value("xmlmaster")));
    master.Edit();
    master.FieldByName("status")->SetAsInteger(2);
    master.Post();
    r = fx.call(who, "Picking.Audit", {}, {{"deltamaster", master.GetKXXMLDelta()}});
    QVERIFY2(r.ok, qPrintable(r.error));
}
