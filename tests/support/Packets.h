#pragma once
// Data packets written by hand for tests of the data set and the views over it.
#include <QString>
#include <QStringList>

// A data packet from a field list ("id:integer,name:string,amount:decimal:2"; a decimal has
// scale 2 unless given) and rows given as attribute text (R"(id="1" name="a")").
inline QString packet(const QString& fields, const QStringList& rows)
{
    QString xml = QStringLiteral("<datapacket><fields>");
    for (const QString& f : fields.split(u',')) {
        const QStringList p = f.split(u':');
        xml += QStringLiteral("<field name=\"%1\" type=\"%2\"").arg(p[0], p[1]);
        if (p[1] == u"decimal")
            xml += QStringLiteral(" precision=\"18\" scale=\"%1\"").arg(p.value(2, QStringLiteral("2")));
        xml += QStringLiteral("/>");
    }
    xml += QStringLiteral("</fields><rows>");
    for (const QString& r : rows)
        xml += QStringLiteral("<row %1/>").arg(r);
    return xml + QStringLiteral("</rows></datapacket>");
}
