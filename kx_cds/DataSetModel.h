#pragma once

#include "kxcds_global.h"

#include <QAbstractTableModel>
#include <QPointer>

class TField;
class TPClientDataSet;

// A table model over a TPClientDataSet that copies no data: rows are the records the filter
// lets through, columns the visible fields. It follows loads, appends, deletes, edits, the
// filter and the cursor, and stays quiet between DisableControls and EnableControls.
//
// DisplayRole: the field's text (Boolean fields show a check box through CheckStateRole
// instead). EditRole: the typed value. setData writes through the data set (Edit + Post).
class KXCDS_EXPORT DataSetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        CurrentRowRole = Qt::UserRole + 1,   // true on the data set's current record
        FieldNameRole,                       // header: the field name of a column
    };

    explicit DataSetModel(QObject* parent = nullptr);
    explicit DataSetModel(TPClientDataSet* dataSet, QObject* parent = nullptr);

    void SetDataSet(TPClientDataSet* dataSet);
    TPClientDataSet* DataSet() const;
    TField* FieldAt(int column) const;
    int ColumnOf(const QString& fieldName) const;   // -1 when hidden or absent
    // Sets the field's DisplayLabel, which is the column caption.
    bool SetFieldCaption(const QString& fieldName, const QString& caption);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    void rebuildColumns();
    void onFieldsChanged();
    void onCurrentRowChanged(int row);

    QPointer<TPClientDataSet> m_ds;
    QList<TField*> m_columns;   // the visible fields, in field order
    int m_rows = 0;             // as last announced to views
    int m_current = -1;
};
