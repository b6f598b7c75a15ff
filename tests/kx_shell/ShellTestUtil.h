#pragma once
// Data packets and answers for scripted shell tests.
#include "DataPacket.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// fields: "name" (text) or "name:int"; rows: one text per field, "<null>" for null.
inline QString Packet(const QStringList& fields, const QList<QStringList>& rows)
{
    TDataPacketWriter w;
    for (const QString& f : fields) {
        const bool isInt = f.endsWith(u":int");
        w.AddField(isInt ? f.chopped(4) : f, isInt ? ftInteger : ftString, isInt ? 0 : 60);
    }
    for (const QStringList& r : rows) {
        w.BeginRow();
        for (int i = 0; i < r.size(); ++i)
            if (r[i] != u"<null>")
                w.SetText(i, r[i]);
        w.EndRow();
    }
    return QString::fromUtf8(w.Finish());
}

// <response> with plain values and data packets (as CDATA).
inline QByteArray Answer(const QList<QPair<QString, QString>>& values)
{
    QByteArray xml = "<response>";
    for (const auto& [name, value] : values) {
        const QByteArray n = name.toUtf8();
        if (value.startsWith(u'<'))
            xml += "<" + n + "><![CDATA[" + value.toUtf8() + "]]></" + n + ">";
        else
            xml += "<" + n + ">" + value.toHtmlEscaped().toUtf8() + "</" + n + ">";
    }
    return xml + "</response>";
}
