#pragma once
// Deltas and records built the way a client builds them, for service tests that send their own.
#include "uPClientDataSet.h"

#include <QStringList>
#include <QtTest>

// "field=value" pairs onto the current record (the data set in Edit or Insert).
inline void KxSetFields(TPClientDataSet& ds, const QStringList& pairs)
{
    for (const QString& p : pairs) {
        TField* f = ds.FindField(p.section('=', 0, 0));
        QVERIFY2(f, qPrintable(p));
        f->SetAsString(p.section('=', 1));
    }
}

// A delta inserting one record into a data set of `defs`, with the fields of the "field=value"
// pairs set and the others null.
inline QString KxInsertDelta(const TFieldDefs& defs, const QStringList& pairs)
{
    TPClientDataSet ds;
    ds.FieldDefs().Assign(defs);
    ds.CreateDataSet();
    ds.Append();
    KxSetFields(ds, pairs);
    ds.Post();
    return ds.GetKXXMLDelta();
}

// A delta of text fields of `size` only, inserting rows (one value per field, in order), as a
// client with other field types could send it.
inline QString KxTextDelta(const QStringList& fields, const QList<QStringList>& rows, int size)
{
    TPClientDataSet ds;
    for (const QString& f : fields)
        ds.FieldDefs().Add(f, ftString, size);
    ds.CreateDataSet();
    for (const QStringList& row : rows) {
        ds.Append();
        for (int i = 0; i < row.size(); ++i)
            ds.FieldByName(fields[i])->SetAsString(row[i]);
        ds.Post();
    }
    return ds.GetKXXMLDelta();
}
