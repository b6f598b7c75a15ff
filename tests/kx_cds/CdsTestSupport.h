#pragma once

#include "Packets.h"
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
