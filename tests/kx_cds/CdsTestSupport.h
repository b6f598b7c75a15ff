#pragma once

#include "uPClientDataSet.h"

#include <QStringList>

// Records what the data sets report instead of printing it.
struct ReporterSpy
{
    QStringList messages;
    ReporterSpy()
    {
        KxSetDataSetErrorReporter([this](const QString& m) { messages << m; });
    }
    ~ReporterSpy() { KxSetDataSetErrorReporter(nullptr); }
};

// A data packet from a field list ("id:integer,name:string,amount:decimal:2") and rows
// given as attribute text (R"(id="1" name="a")").
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

// The values of one field over the visible records, in order.
inline QStringList column(TPClientDataSet& ds, const QString& field)
{
    QStringList out;
    const TBookmark b = ds.GetBookmark();
    for (ds.First(); !ds.Eof(); ds.Next())
        out << ds.FieldByName(field)->AsString();
    if (ds.BookmarkValid(b))
        ds.GotoBookmark(b);
    return out;
}
