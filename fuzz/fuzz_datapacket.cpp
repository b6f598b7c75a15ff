// Feeds arbitrary bytes to the data set as a packet, a page, a saved data set, a filter and a
// delta, reads every cell, and checks that whatever loads writes itself back unchanged.

#include "DataPacket.h"
#include "uPClientDataSet.h"

#include <cstdint>
#include <cstdlib>

namespace {

const QByteArray kOpenSet =
    "<datapacket><fields><field name=\"id\" type=\"integer\"/><field name=\"name\" type=\"string\"/>"
    "<field name=\"amount\" type=\"decimal\" precision=\"18\" scale=\"2\"/><field name=\"at\" type=\"datetime\"/>"
    "<field name=\"ok\" type=\"boolean\"/></fields><rows><row id=\"1\" name=\"a\" amount=\"1.50\" ok=\"1\"/>"
    "<row id=\"2\" name=\"\xe4\xb8\xad\" at=\"2026-11-09T00:00:00\"/></rows></datapacket>";

void readAll(TPClientDataSet& ds)
{
    for (ds.First(); !ds.Eof(); ds.Next()) {
        for (int f = 0; f < ds.FieldCount(); ++f) {
            TField* field = ds.Fields(f);
            (void)field->AsString();
            (void)field->Value();
            (void)ds.DisplayTextAt(ds.RecNo() - 1, field);
        }
    }
}

// What a data set writes, it reads back to the same text.
void checkRoundTrip(const TPClientDataSet& ds)
{
    const QByteArray xml = ds.XMLDataUtf8();
    TPClientDataSet back;
    if (!back.SetXMLData(xml) || back.XMLDataUtf8() != xml)
        std::abort();
    TDeltaReader reader;
    if (!reader.Load(ds.DeltaUtf8()) || reader.Count() != ds.ChangeCount())
        std::abort();
}

void edit(TPClientDataSet& ds)
{
    ds.First();
    if (ds.IsEmpty() || ds.FieldCount() == 0)
        return;
    ds.Edit();
    ds.Fields(0)->SetAsString(QStringLiteral("1"));
    ds.Post();
    ds.Last();
    ds.Delete();
    ds.Append();
    ds.Fields(ds.FieldCount() - 1)->SetAsString(QStringLiteral("x"));
    ds.Post();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = [] {
        KxSetDataSetErrorReporter([](const QString&) {});
        return true;
    }();
    (void)quiet;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    TPClientDataSet ds;
    if (ds.SetKXXMLData(bytes)) {
        readAll(ds);
        checkRoundTrip(ds);
        edit(ds);
        checkRoundTrip(ds);
    }
    if (ds.SetXMLData(bytes)) {
        readAll(ds);
        checkRoundTrip(ds);
        ds.CancelUpdates();
        checkRoundTrip(ds);
    }

    TPClientDataSet open;
    open.SetKXXMLData(kOpenSet);
    if (open.KXAppendData(bytes, false))
        readAll(open);
    if (open.SetFilter(QString::fromUtf8(bytes))) {
        open.SetFiltered(true);
        readAll(open);
        edit(open);
    }
    checkRoundTrip(open);

    TDeltaReader reader;
    if (reader.Load(bytes)) {
        for (int i = 0; i < reader.Count(); ++i) {
            (void)reader.ChangedFields(i);
            for (int f = 0; f < reader.FieldDefs().Count(); ++f) {
                (void)reader.OldRow(i).Value(f);
                (void)reader.NewRow(i).Value(f);
            }
        }
    }
    return 0;
}
