#include "Packet.h"

#include "DataPacket.h"
#include "protocol/ServiceError.h"

#include <QSqlRecord>

QByteArray KxQueryPacket(QSqlQuery& query, const QList<TPacketColumn>& columns, int* rowCount)
{
    TDataPacketWriter w;
    for (const TPacketColumn& c : columns) {
        bool ok = false;
        switch (c.kind) {
        case TPacketColumn::Text: ok = w.AddField(c.name, ftString, c.size); break;
        case TPacketColumn::Integer: ok = w.AddField(c.name, ftLargeint); break;
        case TPacketColumn::Boolean: ok = w.AddField(c.name, ftBoolean); break;
        case TPacketColumn::Decimal: ok = w.AddField(c.name, ftDecimal, 0, 18, c.scale); break;
        case TPacketColumn::DateTime: ok = w.AddField(c.name, ftDateTime); break;
        }
        if (!ok)
            throw std::runtime_error("packet field " + c.name.toStdString() + ": " + w.LastError().toStdString());
    }
    const int n = int(columns.size());
    while (query.next()) {
        w.BeginRow();
        for (int i = 0; i < n; ++i) {
            const QVariant v = query.value(i);
            if (v.isNull())
                continue;
            bool ok = true;
            switch (columns[i].kind) {
            case TPacketColumn::Text: ok = w.SetText(i, v.toString()); break;
            case TPacketColumn::Integer: ok = w.SetInteger(i, v.toLongLong()); break;
            case TPacketColumn::Boolean: ok = w.SetBoolean(i, v.toLongLong() != 0); break;
            case TPacketColumn::Decimal: ok = w.SetText(i, v.toString()); break;
            case TPacketColumn::DateTime:
                // Stored as "yyyy-MM-dd HH:mm:ss" text; an empty stamp is no value.
                if (!v.toString().isEmpty())
                    ok = w.SetText(i, v.toString());
                break;
            }
            if (!ok)
                throw std::runtime_error("packet value of " + columns[i].name.toStdString() + ": " + w.LastError().toStdString());
        }
        w.EndRow();
    }
    if (rowCount)
        *rowCount = w.RowCount();
    return w.Finish();
}

namespace {
// The data-packet reader takes the first root element and ignores anything after it; a
// delta holding a second <delta> is a forged or broken document, not two saves.
bool hasSecondRoot(const QByteArray& delta)
{
    const auto startsElement = [&](qsizetype at) {
        const qsizetype after = at + 6;
        if (after >= delta.size())
            return true;
        const char c = delta[after];
        return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    qsizetype at = delta.indexOf("<delta");
    int roots = 0;
    while (at >= 0) {
        if (startsElement(at) && ++roots > 1)
            return true;
        at = delta.indexOf("<delta", at + 6);
    }
    return false;
}
}

QList<TDeltaChange> KxReadDelta(const QByteArray& delta)
{
    // Invalid bytes would be read as U+FFFD and stored so: refused instead.
    if (!QByteArrayView(delta).isValidUtf8())
        throw TServiceError(kxBadDelta, QStringLiteral("提交的修改记录不是有效的 UTF-8 文本"));
    if (hasSecondRoot(delta))
        throw TServiceError(kxBadDelta, QStringLiteral("提交的修改记录只能有一个 <delta> 根元素"));
    TDeltaReader r;
    if (!r.Load(delta))
        throw TServiceError(kxBadDelta, QStringLiteral("提交的数据不是有效的修改记录：%1").arg(r.LastError().left(200)));
    QList<TDeltaChange> out;
    const TFieldDefs& defs = r.FieldDefs();
    for (int c = 0; c < r.Count(); ++c) {
        TDeltaChange ch;
        switch (r.Kind(c)) {
        case ukInsert: ch.kind = TDeltaChange::Insert; break;
        case ukModify: ch.kind = TDeltaChange::Update; break;
        case ukDelete: ch.kind = TDeltaChange::Delete; break;
        }
        const TDeltaRow oldRow = r.OldRow(c), newRow = r.NewRow(c);
        for (int f = 0; f < defs.Count(); ++f) {
            const QString name = defs[f].Name.toLower();
            if (newRow.IsValid())
                ch.values.insert(name, newRow.Value(f));
            if (oldRow.IsValid())
                ch.original.insert(name, oldRow.Value(f));
        }
        if (ch.kind == TDeltaChange::Update)
            for (const QString& f : r.ChangedFields(c))
                ch.changed << f.toLower();
        out << ch;
    }
    return out;
}
