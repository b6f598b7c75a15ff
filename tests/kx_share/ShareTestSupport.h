#pragma once
#include "Packets.h"
#include "uPClientDataSet.h"

#include <QStringList>

// One field's values over the visible records.
inline QStringList values(TPClientDataSet& ds, const QString& field)
{
    QStringList out;
    for (int r = 0; r < ds.RecordCount(); ++r)
        out << ds.DisplayTextAt(r, ds.FieldByName(field));
    return out;
}
