#include "MasterData.h"

#include "store/Packet.h"
#include "uRequest.h"

#include <QSet>

namespace {
using Col = TPacketColumn;

struct TField {
    const char* name;
    Col::Kind kind;
    int size;          // text: longest accepted
    const char* caption;
    bool required;
};

// One simple table: its key (assigned by the service when a new row comes without one),
// and the fields the grid edits. md5_key travels with every row.
struct TTable {
    const char* area;
    const char* table;
    const char* key;
    const char* keyCaption;
    const char* prefix;
    std::vector<TField> fields;
};

const std::vector<TTable>& tables()
{
    static const std::vector<TTable> all = {
        {"Shop", "kx_shop", "shopcode", "门店编码", "S",
         {{"shopname", Col::Text, 100, "门店名称", true}, {"isuse", Col::Boolean, 0, "是否使用", false}}},
        {"Brand", "kx_brand", "brand_id", "品牌编码", "B",
         {{"brand_name", Col::Text, 100, "品牌名称", true}}},
        {"SendRen", "kx_sendren", "renid", "发货人编码", "R",
         {{"sender_name", Col::Text, 50, "发货人", true}, {"sender_address", Col::Text, 200, "地址", false},
          {"sender_zip", Col::Text, 10, "邮编", false}, {"sender_mobile", Col::Text, 20, "手机", false},
          {"sender_phone", Col::Text, 30, "电话", false}, {"memo1", Col::Text, 200, "备注1", false},
          {"memo2", Col::Text, 200, "备注2", false}, {"memo3", Col::Text, 200, "备注3", false}}},
        {"Storage", "kx_storage", "storageid", "仓库编码", "CK",
         {{"storagename", Col::Text, 100, "仓库名称", true}, {"storagetype", Col::Integer, 0, "仓库类型", true}}},
    };
    return all;
}

const TTable& tableOf(const TContext& ctx)
{
    const QString area = ctx.call.method().section(QLatin1Char('.'), 0, 0);
    for (const TTable& t : tables())
        if (area == QLatin1String(t.area))
            return t;
    throw TServiceError(kxUnknownMethod, QStringLiteral("未知的服务方法：%1").arg(ctx.call.method()));
}

QList<Col> columnsOf(const TTable& t)
{
    QList<Col> cols{{QString::fromLatin1(t.key), Col::Text, 20}};
    for (const TField& f : t.fields)
        cols.append({QString::fromLatin1(f.name), f.kind, f.size});
    cols.append({QStringLiteral("md5_key"), Col::Text, 32});
    return cols;
}

QString selectList(const TTable& t)
{
    QString s = QString::fromLatin1(t.key);
    for (const TField& f : t.fields)
        s += QStringLiteral(", ") + QString::fromLatin1(f.name);
    return s + QStringLiteral(", md5_key");
}

void search(TContext& ctx)
{
    const TTable& t = tableOf(ctx);
    // Conditions: a parameter named after a column selects rows with exactly that value.
    QString where = QStringLiteral("nickid = ?");
    QVariantList args{ctx.nickid};
    const QList<Col> cols = columnsOf(t);
    for (const Col& c : cols) {
        const QString v = ctx.param(c.name);
        if (KxTrimLow(v).isEmpty())
            continue;
        where += QStringLiteral(" AND ") + c.name + QStringLiteral(" = ?");
        args << (c.kind == Col::Boolean ? QVariant(v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ? 1 : 0)
                                        : QVariant(v));
    }
    KxAnswerPage(ctx, QStringLiteral("SELECT ") + selectList(t) + QStringLiteral(" FROM ") + QString::fromLatin1(t.table),
                 where, args, QString::fromLatin1(t.key), cols);
}

QVariant checked(const TTable& t, const TField& f, const QVariant& v)
{
    const QString caption = QString::fromUtf8(f.caption);
    switch (f.kind) {
    case Col::Text: {
        const QString s = v.isValid() ? v.toString() : QString();
        if (f.required && KxTrimLow(s).isEmpty())
            throw TServiceError(kxRefused, QStringLiteral("%1不能为空").arg(caption));
        if (s.size() > f.size)
            throw TServiceError(kxRefused, QStringLiteral("%1不能超过 %2 个字符").arg(caption).arg(f.size));
        return s;
    }
    case Col::Integer:
    case Col::Boolean: {
        if (!v.isValid()) {
            if (f.required)
                throw TServiceError(kxRefused, QStringLiteral("%1不能为空").arg(caption));
            return 0;
        }
        bool ok = false;
        const qint64 n = v.metaType().id() == QMetaType::Bool ? qint64(v.toBool()) : v.toLongLong(&ok);
        if (v.metaType().id() != QMetaType::Bool && !ok)
            throw TServiceError(kxRefused, QStringLiteral("%1应为整数").arg(caption));
        return f.kind == Col::Boolean ? (n ? 1 : 0) : n;
    }
    default:
        break;
    }
    Q_UNUSED(t);
    return v;
}

void checkReferences(TContext& ctx, const TTable& t, const QVariantMap& row)
{
    if (QLatin1String(t.table) == QLatin1String("kx_storage") && row.contains(QStringLiteral("storagetype"))) {
        if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_storagetype WHERE nickid = ? AND storagetype = ?"),
                      {ctx.nickid, row.value(QStringLiteral("storagetype"))}).isValid())
            throw TServiceError(kxRefused, QStringLiteral("仓库类型 %1 不存在").arg(row.value(QStringLiteral("storagetype")).toString()));
    }
}

void update(TContext& ctx)
{
    const TTable& t = tableOf(ctx);
    const QByteArray* delta = ctx.call.file(QStringLiteral("delta"));
    if (!delta)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（delta）"));
    const QList<TDeltaChange> changes = KxReadDelta(*delta);
    const QString table = QString::fromLatin1(t.table), key = QString::fromLatin1(t.key);
    QStringList touched;
    for (const TDeltaChange& ch : changes) {
        if (ch.kind == TDeltaChange::Delete) {
            const QString k = ch.original.value(key).toString();
            QSqlQuery d = KxExec(ctx.db, QStringLiteral("DELETE FROM %1 WHERE nickid = ? AND %2 = ?").arg(table, key), {ctx.nickid, k});
            if (d.numRowsAffected() != 1)
                throw TServiceError(kxRefused, QStringLiteral("要删除的记录【%1】已不存在，请刷新后再试").arg(k.left(40)));
            touched.removeAll(k);
            continue;
        }
        QVariantMap row;
        for (const TField& f : t.fields) {
            const QString name = QString::fromLatin1(f.name);
            if (ch.kind == TDeltaChange::Insert || ch.changed.contains(name))
                row.insert(name, checked(t, f, ch.values.value(name)));
        }
        if (ch.kind == TDeltaChange::Insert || ch.changed.contains(QStringLiteral("md5_key")))
            row.insert(QStringLiteral("md5_key"), ch.values.value(QStringLiteral("md5_key")).toString().left(32));
        checkReferences(ctx, t, row);

        if (ch.kind == TDeltaChange::Insert) {
            QString k = KxTrimLow(ch.values.value(key).toString());
            if (k.isEmpty())
                k = KxNextCode(ctx, table, QString::fromLatin1(t.prefix), table, key);
            else if (k.size() > 20)
                throw TServiceError(kxRefused, QStringLiteral("%1不能超过 20 个字符").arg(QString::fromUtf8(t.keyCaption)));
            else if (KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM %1 WHERE nickid = ? AND %2 = ?").arg(table, key), {ctx.nickid, k}).isValid())
                throw TServiceError(kxRefused, QStringLiteral("%1【%2】已存在").arg(QString::fromUtf8(t.keyCaption), k));
            QStringList names{QStringLiteral("nickid"), key};
            QVariantList args{ctx.nickid, k};
            for (auto it = row.begin(); it != row.end(); ++it) {
                names << it.key();
                args << it.value();
            }
            KxExec(ctx.db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(table, names.join(QStringLiteral(", ")), QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                   args);
            touched << k;
            continue;
        }
        // Update: the row is found by the key it had; the key itself cannot change.
        const QString k = ch.original.value(key).toString();
        if (ch.changed.contains(key))
            throw TServiceError(kxRefused, QStringLiteral("%1不能修改").arg(QString::fromUtf8(t.keyCaption)));
        if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM %1 WHERE nickid = ? AND %2 = ?").arg(table, key), {ctx.nickid, k}).isValid())
            throw TServiceError(kxRefused, QStringLiteral("要修改的记录【%1】已不存在，请刷新后再试").arg(k.left(40)));
        if (!row.isEmpty()) {
            QStringList sets;
            QVariantList args;
            for (auto it = row.begin(); it != row.end(); ++it) {
                sets << it.key() + QStringLiteral(" = ?");
                args << it.value();
            }
            args << ctx.nickid << k;
            KxExec(ctx.db, QStringLiteral("UPDATE %1 SET %2 WHERE nickid = ? AND %3 = ?").arg(table, sets.join(QStringLiteral(", ")), key), args);
        }
        if (!touched.contains(k))
            touched << k;
    }
    // The saved rows as they are now, for the client to merge by md5_key.
    QString in = QStringLiteral("''");
    QVariantList args{ctx.nickid};
    if (!touched.isEmpty()) {
        in = QStringList(touched.size(), QStringLiteral("?")).join(QStringLiteral(", "));
        for (const QString& k : touched)
            args << k;
    }
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE nickid = ? AND %3 IN (%4) ORDER BY %3")
                                     .arg(selectList(t), table, key, in), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, columnsOf(t)));
}

void storageTypes(TContext& ctx)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT storagetype, typename FROM kx_storagetype WHERE nickid = ? ORDER BY storagetype"), {ctx.nickid});
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("storagetype"), Col::Integer}, {QStringLiteral("typename"), Col::Text, 50}}));
}

// Storages offered by document forms, optionally of one type ("storagetype").
void storageLookup(TContext& ctx)
{
    QString where = QStringLiteral("nickid = ?");
    QVariantList args{ctx.nickid};
    if (!KxTrimLow(ctx.param(QStringLiteral("storagetype"))).isEmpty()) {
        where += QStringLiteral(" AND storagetype = ?");
        args << ctx.intParam(QStringLiteral("storagetype"), 0);
    }
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT storageid, storagename, storagetype FROM kx_storage WHERE ") + where
                                     + QStringLiteral(" ORDER BY storageid"), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("storageid"), Col::Text, 20},
                                                                      {QStringLiteral("storagename"), Col::Text, 100},
                                                                      {QStringLiteral("storagetype"), Col::Integer}}));
}
}

TPage KxPageOf(const TContext& ctx)
{
    TPage p;
    p.page = ctx.intParam(QStringLiteral("curpage"), 1);
    if (p.page == -1)
        p.page = 1;
    if (p.page < 0)
        throw TServiceError(kxBadParam, QStringLiteral("参数 curpage 不正确：%1").arg(p.page));
    p.size = ctx.intParam(QStringLiteral("pagesize"), 100);
    if (p.size < 1 || p.size > 5000)
        throw TServiceError(kxBadParam, QStringLiteral("参数 pagesize 应在 1 到 5000 之间"));
    return p;
}

void KxAnswerPage(TContext& ctx, const QString& selectFrom, const QString& where, const QVariantList& args,
                  const QString& orderBy, const QList<TPacketColumn>& columns)
{
    const TPage page = KxPageOf(ctx);
    const QString from = selectFrom.mid(selectFrom.indexOf(QLatin1String(" FROM ")));
    const qint64 total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*)") + from + QStringLiteral(" WHERE ") + where, args).toLongLong();
    QString sql = selectFrom + QStringLiteral(" WHERE ") + where + QStringLiteral(" ORDER BY ") + orderBy;
    QVariantList a = args;
    if (page.page > 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        a << page.size << (page.page - 1) * page.size;
    }
    QSqlQuery q = KxExec(ctx.db, sql, a);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, columns));
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}

QString KxNextCode(TContext& ctx, const QString& series, const QString& prefix, const QString& table, const QString& keyColumn)
{
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) VALUES (?, ?, 0) ON CONFLICT DO NOTHING"),
           {ctx.nickid, series});
    for (;;) {
        KxExec(ctx.db, QStringLiteral("UPDATE kx_counter SET value = value + 1 WHERE nickid = ? AND name = ?"), {ctx.nickid, series});
        const qint64 n = KxScalar(ctx.db, QStringLiteral("SELECT value FROM kx_counter WHERE nickid = ? AND name = ?"),
                                  {ctx.nickid, series}).toLongLong();
        const QString code = prefix + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        // Codes typed by hand may already use a number of the series: skip them.
        if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM %1 WHERE nickid = ? AND %2 = ?").arg(table, keyColumn),
                      {ctx.nickid, code}).isValid())
            return code;
    }
}

const std::vector<TMethodDef>& KxMasterDataMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m;
        // Method names live as long as the program: keep their texts in static storage.
        static std::vector<QByteArray> names;
        for (const TTable& t : tables()) {
            names.push_back(QByteArray(t.area) + ".Search");
            names.push_back(QByteArray(t.area) + ".Update");
        }
        size_t i = 0;
        for (size_t k = 0; k < tables().size(); ++k) {
            m.push_back({names[i++].constData(), EAccess::Module, ETx::Read, search});
            m.push_back({names[i++].constData(), EAccess::Module, ETx::Write, update});
        }
        m.push_back({"Storage.TypeList", EAccess::Module, ETx::Read, storageTypes});
        m.push_back({"Lookup.Storage", EAccess::Module, ETx::Read, storageLookup});
        return m;
    }();
    return methods;
}
