#pragma once

#include "CdsTypes.h"
#include "TDecimal.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class QIODevice;
class TPClientDataSet;

// Quotes a value for a filter text: 'it''s'. Build filters from typed text only through
// this, so that a quote in the text can neither break nor widen the filter.
KXCDS_EXPORT QString KxQuote(const QString& value);

// A saved position. It stays valid while its row exists and the data set is not reloaded,
// emptied or closed.
struct TBookmark
{
    quint32 row = 0xFFFFFFFFu;
    quint64 generation = 0;
    bool IsNull() const { return row == 0xFFFFFFFFu; }
    bool operator==(const TBookmark&) const = default;
};

// One field of a data set. Getters and setters act on the current record (inside
// OnCalcFields: on the record being calculated). Fields are owned by their data set; a field
// object survives reloads and Close as long as a field of that name exists, so captions and
// visibility set on it are kept.
class KXCDS_EXPORT TField
{
public:
    QString FieldName() const { return m_def.Name; }
    TFieldType DataType() const { return m_def.DataType; }
    TFieldKind FieldKind() const { return m_kind; }
    int Size() const { return m_def.Size; }
    int Precision() const { return m_def.Precision; }
    int Scale() const { return m_def.Scale; }
    int Index() const { return m_index; }
    TPClientDataSet* DataSet() const { return m_ds; }

    // Caption of the column that shows the field; the field name until set.
    QString DisplayLabel() const { return m_label.isEmpty() ? m_def.Name : m_label; }
    void SetDisplayLabel(const QString& label);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    bool ReadOnly() const { return m_readOnly || m_kind == fkLookup; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // Lookup fields: KeyFields of this set ("a;b") are matched with LookupKeyFields of
    // LookupDataSet, and the value is that row's LookupResultField.
    QString KeyFields() const { return m_keyFields; }
    TPClientDataSet* LookupDataSet() const;
    QString LookupKeyFields() const { return m_lookupKeyFields; }
    QString LookupResultField() const { return m_lookupResult; }

    bool IsNull() const;
    QString AsString() const;        // null gives ""; decimals with all digits of the scale
    qint32 AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
    TDecimal AsDecimal() const;
    bool AsBoolean() const;
    QDateTime AsDateTime() const;    // null gives an invalid QDateTime
    QVariant Value() const;          // typed; null gives an invalid QVariant
    QString DisplayText() const { return AsString(); }

    // Setters work in the Edit and Insert states. Text given to a non-text field is parsed
    // ("" sets null); a value the field cannot hold is refused with a message.
    bool SetAsString(const QString& value);
    bool SetAsInteger(qint32 value);
    bool SetAsLargeInt(qint64 value);
    bool SetAsFloat(double value);
    bool SetAsDecimal(const TDecimal& value);
    bool SetAsBoolean(bool value);
    bool SetAsDateTime(const QDateTime& value);
    bool SetValue(const QVariant& value);   // an invalid QVariant sets null
    bool Clear();

private:
    friend class TPClientDataSet;
    TField(TPClientDataSet* ds, const TFieldDef& def, TFieldKind kind) : m_ds(ds), m_def(def), m_kind(kind) {}
    template<typename Getter> auto read(Getter get, const char* what) const;
    template<typename Setter> bool write(Setter set);

    TPClientDataSet* m_ds;
    TFieldDef m_def;
    TFieldKind m_kind;
    int m_index = -1;
    int m_column = -1;   // in the data set's columns; -1 for lookup fields
    QString m_label;
    bool m_visible = true;
    bool m_readOnly = false;
    QString m_keyFields, m_lookupKeyFields, m_lookupResult;
    QPointer<TPClientDataSet> m_lookupDs;
};

// An in-memory table loaded from data packets: typed fields, a cursor, a filter and a log of
// the changes made since it was loaded (or since the log was last merged), which goes back to
// the service as a delta. One user-interface thread; views follow it through its signals.
//
// Misuse (a field that does not exist, writing outside Edit/Insert, a bad value) and every
// failed load are reported through KxReportDataSetError and LastError(); loads then return
// false and leave the data set exactly as it was.
class KXCDS_EXPORT TPClientDataSet : public QObject
{
    Q_OBJECT

public:
    explicit TPClientDataSet(QObject* parent = nullptr);
    ~TPClientDataSet() override;

    // --- Loading and saving ------------------------------------------------------------
    // Replaces structure and rows with the packet's; open, on the first record, no changes.
    bool SetKXXMLData(const QString& xml);
    bool SetKXXMLData(const QByteArray& utf8);
    // The fast path: parses `utf8` in place (the buffer is overwritten).
    bool SetKXXMLDataInPlace(char* utf8, size_t size);
    // Closed: as SetKXXMLData. Open: adds the packet's rows after the existing ones, fields
    // matched by name (packet fields this set lacks are skipped, missing ones are null).
    // `flag` is accepted for the callers' sake and has no effect.
    bool KXAppendData(const QString& xml, bool flag = false);
    bool KXAppendData(const QByteArray& utf8, bool flag = false);
    // The pending changes as a <delta> document (an empty one when there are none).
    QString GetKXXMLDelta() const;
    QByteArray DeltaUtf8() const;
    bool GetEmptyDelta() const;   // true when no change is pending
    // The whole data set: structure, rows and pending changes.
    QString XMLData() const;
    QByteArray XMLDataUtf8() const;
    bool SetXMLData(const QString& xml);
    bool SetXMLData(const QByteArray& utf8);
    bool SaveToStream(QIODevice* device) const;
    bool LoadFromStream(QIODevice* device);
    bool SaveToFile(const QString& fileName) const;
    bool LoadFromFile(const QString& fileName);

    // --- Life ----------------------------------------------------------------------------
    bool Active() const;
    bool Open();            // an empty data set from FieldDefs() when closed
    void Close();           // drops rows and changes; fields and FieldDefs stay
    bool SetActive(bool active) { return active ? Open() : (Close(), true); }
    TFieldDefs& FieldDefs();
    const TFieldDefs& FieldDefs() const;
    bool CreateDataSet();   // an empty, open data set with the structure of FieldDefs()
    TDataSetState State() const;

    // --- Cursor (over the rows the filter lets through) ---------------------------------
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const;
    int RecordCount() const;
    int UnfilteredCount() const;  // every row held, whatever the filter lets through
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecNo() const;            // 1-based; 0 without a current record
    void SetRecNo(int recNo);
    TBookmark GetBookmark() const;
    bool GotoBookmark(const TBookmark& bookmark);
    bool BookmarkValid(const TBookmark& bookmark) const;
    // Moves to the first record whose key fields ("a;b") equal the values (one value, or a
    // QVariantList with one value per field). Options apply to text fields.
    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options = {});
    // The result field of the first such record, without moving; invalid when none.
    QVariant Lookup(const QString& keyFields, const QVariant& keyValues, const QString& resultField) const;

    // --- Fields --------------------------------------------------------------------------
    // Field names compare without regard to letter case. FieldByName reports a missing field
    // and returns an inert field (reads null, refuses writes), never nullptr.
    TField* FieldByName(const QString& name) const;
    TField* FindField(const QString& name) const;
    int FieldCount() const;
    TField* Fields(int index) const;
    // Calculated fields are filled by the OnCalcFields callback, which runs once per record
    // when one of them is first read after the record was loaded or changed.
    TField* AddCalcField(const QString& name, TFieldType type, int size = 0, int precision = 0, int scale = 0);
    TField* AddLookupField(const QString& name, TFieldType type, int size, const QString& keyFields,
                           TPClientDataSet* lookupDataSet, const QString& lookupKeyFields,
                           const QString& lookupResultField);
    void SetOnCalcFields(std::function<void(TPClientDataSet&)> onCalcFields);
    void RefreshCalcFields();

    // --- Editing -------------------------------------------------------------------------
    void Append();       // a new record at the end, state Insert
    void Insert();       // a new record before the current one, state Insert
    void Edit();         // state Edit (on an empty set: Append)
    bool Post();
    void Cancel();
    void Delete();
    TUpdateStatus UpdateStatus() const;   // of the current record
    // Nested: views hear nothing until the last EnableControls, then one reset.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    // --- Change log ----------------------------------------------------------------------
    int ChangeCount() const;
    void CancelUpdates();     // back to the rows as loaded or last merged
    void MergeChangeLog();    // the current rows become the unchanged base
    void EmptyDataSet();      // no rows, no changes; structure stays

    // --- Filter --------------------------------------------------------------------------
    QString Filter() const;
    // false (and the previous filter stays) when the text is not a valid expression.
    bool SetFilter(const QString& filter);
    bool Filtered() const;
    void SetFiltered(bool filtered);
    TFilterOptions FilterOptions() const;
    bool SetFilterOptions(TFilterOptions options);

    // --- For views: records by their 0-based position among the visible ones ------------
    QString DisplayTextAt(int recIndex, const TField* field) const;
    QVariant ValueAt(int recIndex, const TField* field) const;
    bool IsNullAt(int recIndex, const TField* field) const;
    int CurrentIndex() const { return RecNo() - 1; }

    QString LastError() const;
    // Bytes held for rows and changes (column capacities included).
    size_t MemoryUsage() const;

signals:
    void aboutToReset();
    void reset();                                  // structure, rows or filter replaced
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved(int first, int last);
    void rowChanged(int row);                      // values of a visible record changed
    void currentRowChanged(int row);               // -1 without a current record
    void stateChanged(TDataSetState state);
    void fieldsChanged();                          // captions or visibility

private:
    friend class TField;
    struct Impl;
    std::unique_ptr<Impl> d;
};
