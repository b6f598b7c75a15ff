#include "MasterTable.h"

#include "store/BulkWrite.h"
#include "store/History.h"
#include "store/Paging.h"
#include "TDecimal.h"
#include "uRequest.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
#include <optional>

namespace {
using Col = TPacketColumn;

using TField = TMdField;
using TRef = TMdRef;
using TTable = TMdTable;

// Names and SQL of the table descriptions (UTF-8: computed columns may hold texts).
QString L1(const char* s)
{
    return QString::fromUtf8(s);
}

// The key as SQL over the table alone (`alias` empty) or over its FROM ("t."): one column, or
// the parts joined by "/".
QString keySql(const TTable& t, const QString& alias = QString())
{
    if (t.keyParts.empty())
        return alias + L1(t.key);
    QStringList parts;
    for (const char* p : t.keyParts)
        parts << alias + L1(p);
    return QLatin1Char('(') + parts.join(QStringLiteral(" || '/' || ")) + QLatin1Char(')');
}

// The key text of one side of a change.
QString keyOf(const TTable& t, const TDeltaSide& side)
{
    if (t.keyParts.empty())
        return side.value(L1(t.key)).toString();
    QStringList parts;
    for (const char* p : t.keyParts) {
        const QString v = KxTrimLow(side.value(L1(p)).toString());
        parts << (v.isEmpty() && !parts.isEmpty() ? parts.first() : v);
    }
    return parts.join(QLatin1Char('/'));
}

QString alias(const TTable& t)
{
    return t.from ? QStringLiteral("t.") : QString();
}

QString fromOf(const TTable& t)
{
    return t.from ? L1(t.from) : QStringLiteral(" FROM ") + L1(t.table);
}

QString fieldSql(const TTable& t, const TField& f)
{
    return f.expr ? L1(f.expr) : alias(t) + L1(f.name);
}

QString selectList(const TTable& t)
{
    QString s = keySql(t, alias(t));
    for (const TField& f : t.fields)
        s += f.secret ? QStringLiteral(", NULL AS ") + L1(f.name) : QStringLiteral(", ") + fieldSql(t, f);
    return s + QStringLiteral(", ") + alias(t) + QStringLiteral("md5_key");
}
}

QList<Col> KxMdColumns(const TTable& t)
{
    QList<Col> cols{{L1(t.key), Col::Text, t.keyParts.empty() ? 20 : 61}};
    for (const TField& f : t.fields)
        cols.append({L1(f.name), f.kind, f.size});
    cols.append({QStringLiteral("md5_key"), Col::Text, 32});
    return cols;
}

void KxMdSearch(TContext& ctx, const TTable& t)
{
    // Conditions: a parameter named after a column selects rows with that value; text
    // columns other than the key match when they contain it.
    const QString a = alias(t);
    QString where = a + QStringLiteral("nickid = ?");
    QVariantList args{ctx.nickid};
    bool overJoins = t.conditions != nullptr;   // a condition on a joined or computed column
    for (const TField& f : t.fields) {
        const QString name = L1(f.name);
        const QString v = KxTrimLow(ctx.param(name));
        if (v.isEmpty() || f.secret)
            continue;
        const QString column = fieldSql(t, f);
        overJoins = overJoins || f.expr;
        if (f.kind == Col::Text && !f.exact) {
            where += QStringLiteral(" AND ") + column + QStringLiteral(" LIKE ? ESCAPE '\\'");
            args << KxLikeContains(v);
            continue;
        }
        where += QStringLiteral(" AND ") + column + QStringLiteral(" = ?");
        if (f.kind == Col::Boolean) {
            args << (v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ? 1 : 0);
        } else if (f.kind == Col::Integer) {
            args << ctx.intParam(name, 0);
        } else {
            args << v;
        }
    }
    // "operid" of every call names the caller, so it is never a condition on the operators.
    const QString key = L1(t.key);
    if (key != QLatin1String("operid") && !KxTrimLow(ctx.param(key)).isEmpty()) {
        const QString v = KxTrimLow(ctx.param(key));
        if (t.keyCondition) {
            where += QStringLiteral(" AND ") + L1(t.keyCondition);
            for (qsizetype n = L1(t.keyCondition).count(QLatin1Char('?')); n > 0; --n)
                args << v;
        } else {
            where += QStringLiteral(" AND ") + keySql(t, a) + QStringLiteral(" = ?");
            args << v;
        }
    }
    if (t.conditions)
        t.conditions(ctx, where, args);
    if (!t.from) {
        KxAnswerPageFrom(ctx, selectList(t), fromOf(t), where, args, keySql(t, a), KxMdColumns(t));
        return;
    }
    // Over joins and computed columns a page is found by its keys alone; only its own rows
    // are then read whole (skipped rows would otherwise have their columns computed too).
    const TPage page = KxPageOf(ctx);
    const QString keyExpr = keySql(t, a);
    // Without conditions on them the joins change neither the rows nor their count.
    const QString keyFrom = overJoins ? fromOf(t) : QStringLiteral(" FROM ") + L1(t.table) + QStringLiteral(" t");
    QString sql = QStringLiteral("SELECT ") + keyExpr + keyFrom + QStringLiteral(" WHERE ") + where + QStringLiteral(" ORDER BY ") + keyExpr;
    QVariantList pageArgs = args;
    const qint64 offset = page.page > 0 ? (page.page - 1) * page.size : 0;
    if (page.page > 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        pageArgs << page.size << offset;
    }
    QStringList keys;
    {
        QSqlQuery q = KxExec(ctx.db, sql, pageArgs);
        while (q.next())
            keys << q.value(0).toString();
    }
    TQueryPacket packet(KxMdColumns(t));
    KxForKeys(ctx.db, QStringLiteral("SELECT %1%2 WHERE %3nickid = ? AND %4 IN (%5) ORDER BY %4").arg(selectList(t), fromOf(t), a, keyExpr, QStringLiteral("%1")),
              {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype, qsizetype) { packet.add(q); });
    ctx.answer.addPacket(QStringLiteral("xmldata"), packet.finish());
    const qint64 rows = keys.size();
    qint64 total = offset + rows;
    if (page.page > 0 && (rows == page.size || (rows == 0 && offset > 0)))
        total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*)") + keyFrom + QStringLiteral(" WHERE ") + where, args).toLongLong();
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}

namespace {
QVariant checked(const TField& f, const QVariant& v)
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
        // INTEGER columns are 32 bits on PostgreSQL.
        if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
            throw TServiceError(kxRefused, QStringLiteral("%1超出范围：%2").arg(caption).arg(n));
        return f.kind == Col::Boolean ? (n ? 1 : 0) : n;
    }
    case Col::Decimal: {
        if (!v.isValid())
            return QStringLiteral("0");
        const std::optional<TDecimal> d = v.metaType() == QMetaType::fromType<TDecimal>()
            ? std::optional<TDecimal>(v.value<TDecimal>()) : TDecimal::Parse(v.toString());
        if (!d)
            throw TServiceError(kxRefused, QStringLiteral("%1应为金额").arg(caption));
        if (d->ToString().startsWith(QLatin1Char('-')))
            throw TServiceError(kxRefused, QStringLiteral("%1不能小于零").arg(caption));
        return d->ToString();
    }
    default:
        break;
    }
    return v;
}

// Whether a value the client loaded still equals the stored one, compared as the field's
// kind (a missing attribute is a null cell: empty text, 0).
bool sameValue(Col::Kind kind, const QVariant& loaded, const QVariant& stored)
{
    switch (kind) {
    case Col::Integer:
    case Col::Boolean: {
        const qint64 a = loaded.metaType().id() == QMetaType::Bool ? qint64(loaded.toBool()) : loaded.toLongLong();
        const qint64 b = stored.toLongLong();
        return kind == Col::Boolean ? (a != 0) == (b != 0) : a == b;
    }
    case Col::Decimal: {
        const std::optional<TDecimal> a = loaded.metaType() == QMetaType::fromType<TDecimal>()
            ? std::optional<TDecimal>(loaded.value<TDecimal>()) : TDecimal::Parse(loaded.isValid() ? loaded.toString() : QStringLiteral("0"));
        const std::optional<TDecimal> b = TDecimal::Parse(stored.isNull() ? QStringLiteral("0") : stored.toString());
        return a && b && *a == *b;
    }
    default:
        return (loaded.isValid() ? loaded.toString() : QString()) == (stored.isNull() ? QString() : stored.toString());
    }
}

// Changed and deleted rows must still be the rows the client loaded: their stored values are
// compared with the delta's old ones, so a save made from a stale grid cannot overwrite or
// delete what someone else saved meanwhile. Rows are read by key, many to a statement; the
// first row (in delta order) that is gone or differs refuses the save.
// The fields a row is compared by and its history shows the old values of.
std::vector<const TField*> storedFields(const TTable& t)
{
    std::vector<const TField*> out;
    for (const TField& f : t.fields)
        if (!f.secret && !f.readOnly)
            out.push_back(&f);
    return out;
}

// `before`, when given, keeps each row's stored values (storedFields order) by key.
void checkUnchanged(TContext& ctx, const TTable& t, const QList<const TDeltaChange*>& rows, const QStringList& keys,
                    QHash<QString, QVariantList>* before)
{
    QStringList names{QStringLiteral("md5_key")};
    QList<Col::Kind> kinds{Col::Text};
    for (const TField* f : storedFields(t)) {
        names << L1(f->name);
        kinds << f->kind;
    }
    QHash<QString, qsizetype> at;
    for (qsizetype i = 0; i < keys.size(); ++i)
        at.insert(keys[i], i);
    KxForKeys(ctx.db, QStringLiteral("SELECT %1, %2 FROM %3 WHERE nickid = ? AND %1 IN (%4)")
                          .arg(keySql(t), names.join(QStringLiteral(", ")), L1(t.table), QStringLiteral("%1")),
              {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype first, qsizetype count) {
                  enum { Gone, Same, Changed };
                  std::vector<char> state(size_t(count), Gone);
                  while (q.next()) {
                      const auto it = at.constFind(q.value(0).toString());
                      if (it == at.constEnd() || *it < first || *it >= first + count)
                          continue;
                      const TDeltaChange& ch = *rows[*it];
                      if (before) {
                          QVariantList& v = (*before)[q.value(0).toString()];
                          for (int i = 1; i < names.size(); ++i)
                              v << q.value(i + 1);
                      }
                      bool same = true;
                      for (int i = 0; i < names.size() && same; ++i)
                          same = !ch.original.contains(names[i]) || sameValue(kinds[i], ch.original.value(names[i]), q.value(i + 1));
                      state[size_t(*it - first)] = same ? Same : Changed;
                  }
                  // Refused at the first chunk that holds a stale row: a big stale save holds
                  // the write lock no longer than a small one.
                  for (qsizetype i = 0; i < count; ++i) {
                      const QString& k = keys[first + i];
                      if (state[size_t(i)] == Gone)
                          throw TServiceError(kxRefused, (rows[first + i]->kind == TDeltaChange::Delete
                                                              ? QStringLiteral("要删除的记录【%1】已不存在，请刷新后再试")
                                                              : QStringLiteral("要修改的记录【%1】已不存在，请刷新后再试")).arg(k.left(40)));
                      if (state[size_t(i)] == Changed)
                          throw TServiceError(kxRefused, QStringLiteral("记录【%1】的数据已被他人修改，请刷新后再保存！").arg(k.left(40)));
                  }
              });
}

// What stops a row from going: rows that point at it, uses that count. Only reads, so a
// save's deletes are all checked before its first write takes SQLite's lock.
void checkRemovable(TContext& ctx, const TTable& t, const QString& k)
{
    for (const TRef& r : t.refs)
        if (KxScalar(ctx.db, L1(r.exists), {ctx.nickid, k}).isValid())
            throw TServiceError(kxRefused, QString::fromUtf8(r.refusal).arg(k.left(40)));
    const QString used = KxMdUsesOf(ctx, t, k);
    if (!used.isEmpty())
        throw TServiceError(kxRefused, used);
}

// Deletes checked rows many to a statement; a row another writer took away meanwhile refuses
// the save.
void removeRows(TContext& ctx, const TTable& t, const QStringList& keys)
{
    if (t.beforeDelete)
        for (const QString& k : keys)
            t.beforeDelete(ctx, k);
    KxForKeys(ctx.db, QStringLiteral("DELETE FROM %1 WHERE nickid = ? AND %2 IN (%3)").arg(L1(t.table), keySql(t), QStringLiteral("%1")),
              {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype, qsizetype count) {
                  if (q.numRowsAffected() != count)
                      throw TServiceError(kxRefused, QStringLiteral("要删除的记录已被他人删除，请刷新后再试"));
              });
}

// The columns an insert or update writes (a single key aside), their values checked. The parts
// of a key of several columns are written on insert (a blank part as the first).
QVariantMap rowOf(const TTable& t, const TDeltaChange& ch)
{
    const bool insert = ch.kind == TDeltaChange::Insert;
    QVariantMap row;
    for (const TField& f : t.fields) {
        if (f.readOnly)
            continue;
        const QString name = L1(f.name);
        if ((insert && (!f.secret || ch.values.contains(name))) || ch.changed.contains(name))
            row.insert(name, checked(f, ch.values.value(name)));
    }
    if (insert && !t.keyParts.empty()) {
        const QStringList parts = keyOf(t, ch.values).split(QLatin1Char('/'));
        for (size_t i = 0; i < t.keyParts.size() && i < size_t(parts.size()); ++i)
            row.insert(L1(t.keyParts[i]), parts[qsizetype(i)]);
    }
    if (insert || ch.changed.contains(QStringLiteral("md5_key")))
        row.insert(QStringLiteral("md5_key"), ch.values.value(QStringLiteral("md5_key")).toString().left(32));
    return row;
}

// A save sorted by what it does, checked as far as it can be without the database: keys of the
// rows deleted and updated (each named once), inserts with the codes typed for them.
struct TSavePlan {
    QList<const TDeltaChange*> deletes, updates, inserts;
    QStringList deleteKeys, updateKeys, insertKeys;   // insertKeys: empty where the service gives the code
    QSet<QString> typed;
};

bool keyChanged(const TTable& t, const TDeltaChange& ch)
{
    if (t.keyParts.empty())
        return ch.changed.contains(L1(t.key));
    for (const char* p : t.keyParts)
        if (ch.changed.contains(L1(p)))
            return true;
    return false;
}

TSavePlan planSave(const TTable& t, const QList<TDeltaChange>& changes)
{
    const QString keyCaption = QString::fromUtf8(t.keyCaption);
    const int keySize = t.keyParts.empty() ? 20 : 61;
    TSavePlan p;
    QSet<QString> named;
    for (const TDeltaChange& ch : changes) {
        if (ch.kind == TDeltaChange::Insert) {
            rowOf(t, ch);
            const QString k = KxTrimLow(keyOf(t, ch.values));
            if ((k.isEmpty() || k.startsWith(QLatin1Char('/'))) && !t.prefix)
                throw TServiceError(kxRefused, QStringLiteral("%1不能为空").arg(keyCaption));
            if (k.size() > keySize)
                throw TServiceError(kxRefused, QStringLiteral("%1不能超过 %2 个字符").arg(keyCaption).arg(keySize));
            if (!k.isEmpty() && p.typed.contains(k))
                throw TServiceError(kxRefused, QStringLiteral("%1【%2】已存在").arg(keyCaption, k));
            if (!k.isEmpty())
                p.typed.insert(k);
            p.inserts << &ch;
            p.insertKeys << k;
            continue;
        }
        // Updates and deletes find the row by the key it had; the key itself cannot change.
        const QString k = keyOf(t, ch.original);
        if (ch.kind == TDeltaChange::Update) {
            if (keyChanged(t, ch))
                throw TServiceError(kxRefused, QStringLiteral("%1不能修改").arg(keyCaption));
            rowOf(t, ch);
        }
        if (named.contains(k))
            throw TServiceError(kxRefused, QStringLiteral("记录【%1】在提交的修改中出现了多次，请刷新后再保存").arg(k.left(40)));
        named.insert(k);
        (ch.kind == TDeltaChange::Delete ? p.deletes : p.updates) << &ch;
        (ch.kind == TDeltaChange::Delete ? p.deleteKeys : p.updateKeys) << k;
    }
    return p;
}

// Writes a checked save: deletes, then updates, then inserts (a code deleted and typed again
// in one save is a new row). Returns the keys of the rows written. Updates run one statement
// per row (their checks may look at rows the save's deletes removed); deletes and inserts many
// rows to a statement.
// A value as the history shows it.
QString historyText(const TField& f, const QVariant& v)
{
    switch (f.kind) {
    case Col::Boolean: return v.toLongLong() != 0 || v.toString() == QLatin1String("true") ? QStringLiteral("是") : QStringLiteral("否");
    case Col::Decimal: return KxHistoryNumber(v);
    default: return v.isValid() && !v.isNull() ? v.toString() : QString();
    }
}

// A row's written columns in its history: old values from `before` (none for a new row). A
// password shows only that it was set, never a value.
void rowHistory(THistory& history, const TTable& t, const QVariantMap& row, const QVariantList* before)
{
    const std::vector<const TField*> stored = storedFields(t);
    for (const TField& f : t.fields) {
        if (f.readOnly)
            continue;
        const QString name = L1(f.name), caption = QString::fromUtf8(f.caption);
        if (f.secret) {
            if (row.contains(QStringLiteral("pwhash")))
                history.field(name, caption, QString(), before ? QStringLiteral("（已修改）") : QStringLiteral("（已设置）"));
            continue;
        }
        if (!row.contains(name))
            continue;
        const qsizetype at = std::find(stored.begin(), stored.end(), &f) - stored.begin();
        history.field(name, caption, before ? historyText(f, before->value(at)) : QString(), historyText(f, row.value(name)));
    }
}

QStringList writeSave(TContext& ctx, const TTable& t, const TSavePlan& p, THistory& history)
{
    const QString table = L1(t.table), key = keySql(t);
    const QString keyCaption = QString::fromUtf8(t.keyCaption);
    QStringList touched;
    QHash<QString, QVariantList> before;
    QHash<QString, QVariantList>* keep = history.enabled() ? &before : nullptr;

    checkUnchanged(ctx, t, p.deletes, p.deleteKeys, keep);
    for (const QString& k : p.deleteKeys)
        checkRemovable(ctx, t, k);
    removeRows(ctx, t, p.deleteKeys);
    if (keep) {
        const std::vector<const TField*> stored = storedFields(t);
        for (const QString& k : p.deleteKeys) {
            history.begin(k, KxHistoryAction::Delete);
            const QVariantList v = before.value(k);
            for (size_t i = 0; i < stored.size(); ++i)
                history.field(L1(stored[i]->name), QString::fromUtf8(stored[i]->caption), historyText(*stored[i], v.value(qsizetype(i))), QString());
        }
    }

    checkUnchanged(ctx, t, p.updates, p.updateKeys, keep);
    for (qsizetype i = 0; i < p.updates.size(); ++i) {
        const QString& k = p.updateKeys[i];
        QVariantMap row = rowOf(t, *p.updates[i]);
        if (t.check) {
            if (t.keyParts.empty())
                row.insert(L1(t.key), k);
            t.check(ctx, row, false);
            row.remove(L1(t.key));
        }
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
        if (keep) {
            history.begin(k, KxHistoryAction::Change);
            const auto old = before.constFind(k);
            rowHistory(history, t, row, old == before.constEnd() ? nullptr : &*old);
        }
        touched << k;
    }

    QStringList typed;
    for (const QString& k : p.insertKeys)
        if (!k.isEmpty())
            typed << k;
    const QSet<QString> existing = KxExistingKeys(ctx.db, table, key, ctx.nickid, typed);
    for (const QString& k : typed)
        if (existing.contains(k))
            throw TServiceError(kxRefused, t.taken ? t.taken(ctx, k) : QStringLiteral("%1【%2】已存在").arg(keyCaption, k));
    const QStringList codes = t.prefix ? KxNextCodes(ctx.db, ctx.nickid, table, L1(t.prefix), table, key,
                                                     int(p.insertKeys.size() - typed.size()), p.typed, t.codeWidth)
                                       : QStringList();
    TBulkInsert insert(ctx.db, table);
    qsizetype nextCode = 0;
    for (qsizetype i = 0; i < p.inserts.size(); ++i) {
        const QString k = p.insertKeys[i].isEmpty() ? codes[nextCode++] : p.insertKeys[i];
        QVariantMap row = rowOf(t, *p.inserts[i]);
        if (t.keyParts.empty())
            row.insert(L1(t.key), k);
        if (t.check)
            t.check(ctx, row, true);
        if (t.keyParts.empty())
            row.insert(L1(t.key), k);
        if (keep) {
            history.begin(k, KxHistoryAction::Create);
            rowHistory(history, t, row, nullptr);
        }
        row.insert(QStringLiteral("nickid"), ctx.nickid);
        insert.add(row);
        touched << k;
    }
    insert.flush();
    return touched;
}
}

QStringList KxMdSave(TContext& ctx, const TTable& t, const QList<TDeltaChange>& changes)
{
    THistory history(ctx, L1(t.table));
    const QStringList touched = writeSave(ctx, t, planSave(t, changes), history);
    history.write();
    return touched;
}

void KxMdAnswerRows(TContext& ctx, const TTable& t, QStringList keys, const QString& name)
{
    std::sort(keys.begin(), keys.end());
    const QString key = keySql(t, alias(t));
    TQueryPacket packet(KxMdColumns(t));
    const QString select = QStringLiteral("SELECT %1%2 WHERE %3nickid = ? AND %4 IN (%5) ORDER BY %4")
                               .arg(selectList(t), fromOf(t), alias(t), key, QStringLiteral("%1"));
    KxForKeys(ctx.db, select, {ctx.nickid}, keys, [&](QSqlQuery& q, qsizetype, qsizetype) { packet.add(q); });
    ctx.answer.addPacket(name, packet.finish());
}

QString KxMdUsesOf(TContext& ctx, const TTable& t, const QString& key)
{
    QStringList found;
    for (const TMdUse& u : t.uses) {
        const qint64 n = KxScalar(ctx.db, L1(u.count), {ctx.nickid, key}).toLongLong();
        if (n > 0)
            found << QStringLiteral("%1 %2 %3").arg(QString::fromUtf8(u.what)).arg(n).arg(QString::fromUtf8(u.unit));
    }
    if (found.isEmpty())
        return QString();
    return QStringLiteral("%1【%2】正在使用，不能删除：%3。%4")
        .arg(QString::fromUtf8(t.usedBy ? t.usedBy : t.keyCaption), key.left(40), found.join(QStringLiteral("、")),
             t.retire ? QString::fromUtf8(t.retire) : QStringLiteral("不再使用请勾选删除标记"));
}
