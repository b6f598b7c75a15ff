// The history of documents and master records through the service: a receipt edited by two
// operators and audited, read back newest first with old and new values; refused saves and
// audits that leave no entry; a supplier's edits; who may read a record's history; ten thousand
// entries read page by page; and that no method can change the history. SQLite, and PostgreSQL
// when KX_PG_URL is set.
#include "Deltas.h"
#include "ServiceFixture.h"
#include "store/BulkWrite.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QUuid>

namespace {
const TCaller kBoss{QStringLiteral("3003"), QStringLiteral("boss"), QStringLiteral("S01")};
const TCaller kWang{QStringLiteral("3003"), QStringLiteral("wang"), QStringLiteral("S01")};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kClerk{QStringLiteral("1001"), QStringLiteral("clerk"), QStringLiteral("S01")};

struct TDoc {
    TPClientDataSet master, detail;
    QString key = QUuid::createUuid().toString(QUuid::Id128);

    void addLine(const QString& code, int quantity)
    {
        detail.Append();
        detail.FieldByName("md5_key")->SetAsString(key);
        detail.FieldByName("seq")->SetAsInteger(detail.RecordCount() + 1);
        detail.FieldByName("commoditycode")->SetAsString(code);
        detail.FieldByName("receivenum")->SetAsInteger(quantity);
        detail.Post();
    }
    // Moves to line `seq` (1-based, as loaded).
    void at(int seq)
    {
        detail.First();
        while (!detail.Eof() && detail.FieldByName("seq")->AsInteger() != seq)
            detail.Next();
    }
    QList<QPair<QString, QString>> deltas() const
    {
        QList<QPair<QString, QString>> files;
        if (master.ChangeCount() > 0)
            files.append({"deltamaster", master.GetKXXMLDelta()});
        if (detail.ChangeCount() > 0)
            files.append({"deltadetail", detail.GetKXXMLDelta()});
        return files;
    }
    void take(const TCallResult& r)
    {
        master.SetKXXMLData(r.value("xmlmaster"));
        detail.SetKXXMLData(r.value("xmldetail"));
    }
    QString id() const { return master.FieldByName("receiveid")->AsString(); }
};

// One entry's changes as a person reads them: "line kind item caption: old → new".
QStringList changeTexts(const QString& xmldetail, qint64 histid)
{
    QStringList out;
    auto ds = KxDataSet(xmldetail);
    for (ds->First(); !ds->Eof(); ds->Next())
        if (ds->FieldByName("histid")->AsLargeInt() == histid)
            out << QStringLiteral("%1 %2 %3 %4: %5 → %6")
                       .arg(ds->FieldByName("line")->AsInteger())
                       .arg(ds->FieldByName("kind")->AsString(), ds->FieldByName("item")->AsString(), ds->FieldByName("caption")->AsString(),
                            ds->FieldByName("oldvalue")->AsString(), ds->FieldByName("newvalue")->AsString());
    return out;
}
}

class TestHistory : public QObject {
    Q_OBJECT
    QString m_kind;
    std::map<QString, std::unique_ptr<TServiceFixture>> m_services;

    // One service per engine, with a seller of two operators who both keep receipts.
    TServiceFixture& fx()
    {
        auto& f = m_services[m_kind];
        if (!f) {
            f = std::make_unique<TServiceFixture>(m_kind);
            KxSetServiceUrl(f->url());
            QJsonObject file = KxSeedFile(QStringLiteral("demo.json"));
            QJsonObject seller = file.value(QLatin1String("seller")).toObject();
            seller[QLatin1String("nickid")] = kBoss.nick;
            seller[QLatin1String("masternick")] = QStringLiteral("seller_3003");
            file[QLatin1String("seller")] = seller;
            file[QLatin1String("operators")] = QJsonArray{
                QJsonObject{{"operid", "boss"}, {"opername", "老板"}, {"password", "boss888"}, {"rights", "all"}},
                QJsonObject{{"operid", "wang"}, {"opername", "王会计"}, {"password", "wang888"}, {"rights", "all"}}};
            file.remove(QLatin1String("market"));
            KxSeedSeller(f->service->store(), file);
            for (const auto& [who, password] : {std::pair{kBoss, "boss888"}, std::pair{kWang, "wang888"}, std::pair{kAdmin, "admin888"},
                                                std::pair{kClerk, "clerk888"}}) {
                const TCallResult r = f->call({who.nick, {}, {}}, "PowerMger.Login",
                                              {{"shopcode", who.shop}, {"usercode", who.oper}, {"password", QString::fromLatin1(password)}});
                if (!r.ok)
                    qFatal("login failed: %s", qPrintable(r.error));
            }
        }
        KxSetServiceUrl(f->url());
        return *f;
    }
    std::unique_ptr<TDoc> load(const TCaller& who, const QString& id)
    {
        const TCallResult r = fx().call(who, "Receive.Load", {{"receiveid", id}});
        if (!r.ok)
            return nullptr;
        auto d = std::make_unique<TDoc>();
        d->take(r);
        if (!id.isEmpty())
            d->key = d->master.FieldByName("md5_key")->AsString();
        return d;
    }
    TCallResult save(TDoc& d, const TCaller& who)
    {
        const TCallResult r = fx().call(who, "Receive.Update", {}, d.deltas());
        if (r.ok)
            d.take(r);
        return r;
    }
    TCallResult audit(TDoc& d, const TCaller& who)
    {
        d.master.Edit();
        d.master.FieldByName("status")->SetAsInteger(2);
        d.master.Post();
        const TCallResult r = fx().call(who, "Receive.Audit", {}, {{"deltamaster", d.master.GetKXXMLDelta()}});
        if (r.ok)
            d.take(r);
        else
            d.master.CancelUpdates();
        return r;
    }
    // A saved receipt of `who` with lines (code, quantity).
    std::unique_ptr<TDoc> newReceipt(const TCaller& who, const QList<QPair<QString, int>>& lines)
    {
        auto d = load(who, QString());
        d->master.Append();
        d->master.FieldByName("md5_key")->SetAsString(d->key);
        d->master.FieldByName("suppliercode")->SetAsString("GY001");
        d->master.FieldByName("storageid")->SetAsString("CK01");
        d->master.FieldByName("status")->SetAsInteger(0);
        d->master.Post();
        for (const auto& [code, n] : lines)
            d->addLine(code, n);
        const TCallResult r = save(*d, who);
        if (!r.ok)
            qWarning("save failed: %s", qPrintable(r.error));
        return d;
    }
    TCallResult history(const TCaller& who, const QString& area, const QString& key, const QList<QPair<QString, QString>>& more = {})
    {
        return fx().call(who, "History.Search", QList<QPair<QString, QString>>{{"area", area}, {"recordkey", key}} + more);
    }
    qint64 rows(const QString& nick)
    {
        return fx().scalar("SELECT (SELECT COUNT(*) FROM kx_history WHERE nickid = ?) + (SELECT COUNT(*) FROM kx_history_change WHERE nickid = ?)",
                           {nick, nick}).toLongLong();
    }

private slots:
    void initTestCase_data() { KxEngineRows(); }
    void init() { KX_FETCH_ENGINE(m_kind); }

    // The boss makes a receipt; Wang changes line 1 from 5 to 7, removes line 2, adds a line and
    // writes a memo; the boss audits. The history tells it newest first, each entry with its
    // operator, address and the values before and after.
    void receiptEditedByTwoOperators()
    {
        auto d = newReceipt(kBoss, {{"G100101", 5}, {"G100102", 3}});
        QVERIFY(!d->id().isEmpty());
        auto w = load(kWang, d->id());
        w->at(1);
        w->detail.Edit();
        w->detail.FieldByName("receivenum")->SetAsInteger(7);
        w->detail.Post();
        w->at(2);
        w->detail.Delete();
        w->addLine("G100103", 2);
        w->master.Edit();
        w->master.FieldByName("memo")->SetAsString("到货少一箱");
        w->master.Post();
        TCallResult r = save(*w, kWang);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY2(audit(*w, kBoss).ok, "audit");

        r = history(kBoss, "Receive", d->id());
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("recordcount"), QStringLiteral("3"));
        auto entries = KxDataSet(r.value("xmldata"));
        QStringList seen;
        QList<qint64> ids;
        for (entries->First(); !entries->Eof(); entries->Next()) {
            seen << entries->FieldByName("action")->AsString() + u' ' + entries->FieldByName("opername")->AsString() + u' '
                        + entries->FieldByName("client")->AsString();
            ids << entries->FieldByName("histid")->AsLargeInt();
            QVERIFY(!entries->FieldByName("created")->AsString().isEmpty());
        }
        QCOMPARE(seen, (QStringList{"审核 老板 127.0.0.1", "修改 王会计 127.0.0.1", "新建 老板 127.0.0.1"}));
        QCOMPARE(changeTexts(r.value("xmldetail"), ids[0]), QStringList{"0 C  状态: 已保存 → 已审核"});
        const QStringList edit = changeTexts(r.value("xmldetail"), ids[1]);
        QCOMPARE(edit.size(), 4);
        QCOMPARE(edit[0], QStringLiteral("0 C  备注:  → 到货少一箱"));
        QVERIFY2(edit[1].startsWith(QStringLiteral("2 R G100102 : 数量 3，进价")), qPrintable(edit[1]));
        QCOMPARE(edit[2], QStringLiteral("1 C G100101 数量: 5 → 7"));
        QVERIFY2(edit[3].startsWith(QStringLiteral("2 A G100103 :  → 数量 2，进价")), qPrintable(edit[3]));
        const QStringList created = changeTexts(r.value("xmldetail"), ids[2]);
        QVERIFY2(created.contains(QStringLiteral("0 C  供应商编码:  → GY001")), qPrintable(created.join('\n')));
        QVERIFY2(created.contains(QStringLiteral("0 C  仓库:  → CK01")), qPrintable(created.join('\n')));
        QCOMPARE(created.filter(QRegularExpression("^\\d A ")).size(), 2);
    }

    // A refused save or audit rolls its history back with everything else.
    void refusalsLeaveNoHistory()
    {
        auto d = newReceipt(kBoss, {{"G100101", 1}});
        const qint64 before = rows(kBoss.nick);
        struct TCase {
            const char* name;
            std::function<TCallResult()> attempt;
        };
        auto stale = load(kBoss, d->id());
        auto unknown = load(kBoss, d->id());
        const QList<TCase> cases{
            {"unknown product", [&] {
                 unknown->addLine("NO-SUCH", 1);
                 return fx().call(kBoss, "Receive.Update", {}, unknown->deltas());
             }},
            {"zero quantity", [&] {
                 auto z = load(kBoss, d->id());
                 z->at(1);
                 z->detail.Edit();
                 z->detail.FieldByName("receivenum")->SetAsInteger(0);
                 z->detail.Post();
                 return fx().call(kBoss, "Receive.Update", {}, z->deltas());
             }},
            {"audit twice", [&] {
                 auto a = load(kBoss, d->id());
                 if (!audit(*a, kBoss).ok)
                     return TCallResult{true, "first audit failed", {}};
                 const qint64 afterAudit = rows(kBoss.nick);
                 auto again = load(kBoss, d->id());
                 again->master.Edit();
                 again->master.FieldByName("status")->SetAsInteger(1);
                 again->master.Post();
                 again->master.MergeChangeLog();
                 const TCallResult r = audit(*again, kBoss);
                 // The first audit wrote its entry; the refused second must add nothing more.
                 return rows(kBoss.nick) == afterAudit ? r : TCallResult{true, "second audit wrote history", {}};
             }},
            {"save of an audited document", [&] {
                 stale->at(1);
                 stale->detail.Edit();
                 stale->detail.FieldByName("receivenum")->SetAsInteger(9);
                 stale->detail.Post();
                 return fx().call(kBoss, "Receive.Update", {}, stale->deltas());
             }},
        };
        for (const TCase& c : cases) {
            const qint64 now = rows(kBoss.nick);
            const TCallResult r = c.attempt();
            QVERIFY2(!r.ok, c.name);
            if (QByteArray(c.name) != "audit twice")
                QVERIFY2(rows(kBoss.nick) == now, c.name);
        }
        QVERIFY(rows(kBoss.nick) > before);
    }

    // A supplier's edits, its creation and its deletion, with the table's own captions; an
    // operator's password is recorded as changed, never by value.
    void masterRecordChanges()
    {
        TCallResult r = fx().call(kBoss, "Supplier.Search", {{"suppliercode", "GY002"}, {"curpage", "1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        TPClientDataSet ds;
        ds.SetKXXMLData(r.value("xmldata"));
        ds.Edit();
        const QString oldPhone = ds.FieldByName("phone")->AsString();
        ds.FieldByName("phone")->SetAsString("0571-88886666");
        ds.FieldByName("status")->SetAsBoolean(false);
        ds.Post();
        ds.Append();
        ds.FieldByName("suppliername")->SetAsString("临时供应商");
        ds.Post();
        r = fx().call(kWang, "Supplier.Update", {}, {{"delta", ds.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        TPClientDataSet saved;
        saved.SetKXXMLData(r.value("xmldata"));
        QString created;
        for (saved.First(); !saved.Eof(); saved.Next())
            if (saved.FieldByName("suppliername")->AsString() == QStringLiteral("临时供应商"))
                created = saved.FieldByName("suppliercode")->AsString();
        QVERIFY(!created.isEmpty());
        r = fx().call(kBoss, "Supplier.Update", {}, {{"delta", [&] {
                                                          TPClientDataSet del;
                                                          del.SetKXXMLData(fx().call(kBoss, "Supplier.Search", {{"suppliercode", created}, {"curpage", "1"}}).value("xmldata"));
                                                          del.Delete();
                                                          return del.GetKXXMLDelta();
                                                      }()}});
        QVERIFY2(r.ok, qPrintable(r.error));

        r = history(kBoss, "Supplier", "GY002");
        QVERIFY2(r.ok, qPrintable(r.error));
        auto e = KxDataSet(r.value("xmldata"));
        QCOMPARE(e->RecordCount(), 1);
        QCOMPARE(e->FieldByName("action")->AsString(), QStringLiteral("修改"));
        QCOMPARE(e->FieldByName("opername")->AsString(), QStringLiteral("王会计"));
        QCOMPARE(changeTexts(r.value("xmldetail"), e->FieldByName("histid")->AsLargeInt()),
                 (QStringList{QStringLiteral("0 C  在用: 是 → 否"), QStringLiteral("0 C  电话: %1 → 0571-88886666").arg(oldPhone)}));

        r = history(kBoss, "Supplier", created);
        e = KxDataSet(r.value("xmldata"));
        QCOMPARE(e->RecordCount(), 2);
        QCOMPARE(e->FieldByName("action")->AsString(), QStringLiteral("删除"));
        QVERIFY(changeTexts(r.value("xmldetail"), e->FieldByName("histid")->AsLargeInt()).contains("0 C  供应商名称: 临时供应商 → "));
        e->Next();
        QCOMPARE(e->FieldByName("action")->AsString(), QStringLiteral("新建"));

        // An operator's new password.
        r = fx().call(kBoss, "Operator.Search", {{"curpage", "0"}});
        TPClientDataSet ops;
        ops.SetKXXMLData(r.value("xmldata"));
        QVERIFY(ops.Locate("operid", "wang"));
        ops.Edit();
        ops.FieldByName("operpsw")->SetAsString("NewSecret123");
        ops.Post();
        r = fx().call(kBoss, "Operator.Update", {}, {{"delta", ops.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        r = history(kBoss, "Operator", "wang");
        e = KxDataSet(r.value("xmldata"));
        QCOMPARE(changeTexts(r.value("xmldetail"), e->FieldByName("histid")->AsLargeInt()), QStringList{"0 C  密码:  → （已修改）"});
        QCOMPARE(fx().scalar("SELECT COUNT(*) FROM kx_history_change WHERE oldvalue LIKE '%NewSecret%' OR newvalue LIKE '%NewSecret%'").toInt(), 0);
    }

    // The history is read by those who may read the record: the clerk keeps brands but has no
    // receipts; an area without history is refused.
    void readingNeedsTheRecordsRight_data()
    {
        QTest::addColumn<QString>("area");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("brands the clerk keeps") << "Brand" << true;
        QTest::newRow("receipts the clerk may not open") << "Receive" << false;
        QTest::newRow("suppliers the clerk may not open") << "Supplier" << false;
        QTest::newRow("products the clerk lists") << "Commodity" << true;
        QTest::newRow("goods the clerk may not open") << "Goods" << false;
        QTest::newRow("not an area") << "Nothing" << false;
    }
    void readingNeedsTheRecordsRight()
    {
        QFETCH(QString, area);
        QFETCH(bool, allowed);
        const TCallResult r = history(kClerk, area, "X1");
        QCOMPARE(r.ok, allowed);
        QVERIFY(history(kAdmin, "Receive", "X1").ok);
    }

    // A record with ten thousand entries opens page by page, newest first.
    void tenThousandEntriesPageByPage()
    {
        const QString key = QStringLiteral("B%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
        const qint64 base = fx().scalar("SELECT COALESCE(MAX(histid), 0) FROM kx_history WHERE nickid = '1001'").toLongLong() + 1;
        {
            QSqlDatabase db = fx().db();
            TTransaction tx(fx().service->store(), db, true);
            TBulkInsert entries(db, "kx_history"), changes(db, "kx_history_change");
            for (int i = 0; i < 10000; ++i) {
                entries.add({{"nickid", "1001"}, {"histid", base + i}, {"tablename", "kx_brand"}, {"recordkey", key}, {"action", "修改"},
                             {"operid", "admin"}, {"opername", "管理员"}, {"client", "10.0.0.9"}, {"created", "2026-12-01 10:00:00"}, {"changes", 1}});
                changes.add({{"nickid", "1001"}, {"histid", base + i}, {"n", 1}, {"line", 0}, {"item", ""}, {"kind", "C"}, {"field", "brand_name"},
                             {"caption", "品牌名称"}, {"oldvalue", QString::number(i)}, {"newvalue", QString::number(i + 1)}});
            }
            entries.flush();
            changes.flush();
            tx.commit();
        }
        struct TPageCase {
            int page;
            int rows;
            QString firstNew;
        };
        for (const TPageCase& c : {TPageCase{1, 100, "10000"}, TPageCase{57, 100, "4400"}, TPageCase{100, 100, "100"}, TPageCase{101, 0, ""}}) {
            const TCallResult r = history(kAdmin, "Brand", key, {{"curpage", QString::number(c.page)}});
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.value("recordcount"), QStringLiteral("10000"));
            QCOMPARE(r.value("pagecount"), QStringLiteral("100"));
            auto e = KxDataSet(r.value("xmldata"));
            auto ch = KxDataSet(r.value("xmldetail"));
            QCOMPARE(e->RecordCount(), c.rows);
            QCOMPARE(ch->RecordCount(), c.rows);
            if (c.rows) {
                QCOMPARE(ch->FieldByName("newvalue")->AsString(), c.firstNew);
                QCOMPARE(e->FieldByName("histid")->AsLargeInt(), ch->FieldByName("histid")->AsLargeInt());
            }
        }
    }

    // Nothing changes or deletes the history: no source of the service names its tables in a
    // writing statement, only the history unit names them to insert, and its area serves no
    // method but the read.
    void noMethodChangesHistory()
    {
        if (m_kind != QLatin1String("sqlite"))
            QSKIP("the sources and the method table are the same on every engine");
        for (const char* method : {"History.Update", "History.Delete", "History.Save", "History.Audit", "History.Clear"}) {
            const TCallResult r = fx().call(kAdmin, method, {{"area", "Brand"}, {"recordkey", "B001"}});
            QVERIFY2(!r.ok, method);
        }
        QVERIFY(history(kAdmin, "Brand", "B001").ok);

        const QRegularExpression writes("(UPDATE|DELETE\\s+FROM|INSERT\\s+INTO|TRUNCATE|DROP\\s+TABLE|ALTER\\s+TABLE)\\s+kx_history",
                                        QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression named("\"kx_history(_change)?\"|QStringLiteral\\(\"kx_history(_change)?\"\\)");
        QDirIterator it(qEnvironmentVariable("KX_SOURCE_DIR") + "/kxservice", {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        int files = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            ++files;
            QVERIFY2(!writes.match(text).hasMatch(), qPrintable(path));
            if (!path.endsWith("store/History.cpp"))
                QVERIFY2(!named.match(text).hasMatch(), qPrintable(path));
        }
        QVERIFY(files > 50);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
