#include "DataSetModel.h"

#include "uPClientDataSet.h"

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

DataSetModel::DataSetModel(TPClientDataSet* dataSet, QObject* parent) : QAbstractTableModel(parent)
{
    SetDataSet(dataSet);
}

void DataSetModel::SetDataSet(TPClientDataSet* ds)
{
    beginResetModel();
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    if (ds) {
        connect(ds, &TPClientDataSet::aboutToReset, this, [this] { beginResetModel(); });
        connect(ds, &TPClientDataSet::reset, this, [this] {
            rebuildColumns();
            m_rows = m_ds->RecordCount();
            m_current = m_ds->CurrentIndex();
            endResetModel();
        });
        connect(ds, &TPClientDataSet::rowsAboutToBeInserted, this, [this](int f, int l) { beginInsertRows(QModelIndex(), f, l); });
        connect(ds, &TPClientDataSet::rowsInserted, this, [this](int f, int l) {
            m_rows += l - f + 1;
            if (m_current >= f)
                m_current += l - f + 1;
            endInsertRows();
        });
        connect(ds, &TPClientDataSet::rowsAboutToBeRemoved, this, [this](int f, int l) { beginRemoveRows(QModelIndex(), f, l); });
        connect(ds, &TPClientDataSet::rowsRemoved, this, [this](int f, int l) {
            m_rows -= l - f + 1;
            if (m_current > l)
                m_current -= l - f + 1;
            else if (m_current >= f)
                m_current = -1;
            endRemoveRows();
        });
        connect(ds, &TPClientDataSet::rowChanged, this, [this](int row) {
            if (row >= 0 && row < m_rows && !m_columns.isEmpty())
                emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1),
                                 {Qt::DisplayRole, Qt::EditRole, Qt::CheckStateRole});
        });
        connect(ds, &TPClientDataSet::currentRowChanged, this, &DataSetModel::onCurrentRowChanged);
        connect(ds, &TPClientDataSet::fieldsChanged, this, &DataSetModel::onFieldsChanged);
        connect(ds, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_columns.clear();
            m_rows = 0;
            m_current = -1;
            endResetModel();
        });
    }
    rebuildColumns();
    m_rows = ds ? ds->RecordCount() : 0;
    m_current = ds ? ds->CurrentIndex() : -1;
    endResetModel();
}

TPClientDataSet* DataSetModel::DataSet() const
{
    return m_ds;
}

void DataSetModel::rebuildColumns()
{
    m_columns.clear();
    if (!m_ds)
        return;
    for (int i = 0; i < m_ds->FieldCount(); ++i)
        if (m_ds->Fields(i)->Visible())
            m_columns << m_ds->Fields(i);
}

void DataSetModel::onFieldsChanged()
{
    QList<TField*> before = m_columns;
    rebuildColumns();
    if (before == m_columns) {
        if (!m_columns.isEmpty())
            emit headerDataChanged(Qt::Horizontal, 0, int(m_columns.size()) - 1);
        return;
    }
    // Columns came or went: views must start over.
    m_columns = before;
    beginResetModel();
    rebuildColumns();
    endResetModel();
}

void DataSetModel::onCurrentRowChanged(int row)
{
    const int old = m_current;
    m_current = row;
    if (m_columns.isEmpty())
        return;
    const int last = int(m_columns.size()) - 1;
    if (old >= 0 && old < m_rows && old != row)
        emit dataChanged(index(old, 0), index(old, last), {CurrentRowRole});
    if (row >= 0 && row < m_rows)
        emit dataChanged(index(row, 0), index(row, last), {CurrentRowRole});
}

TField* DataSetModel::FieldAt(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column] : nullptr;
}

int DataSetModel::ColumnOf(const QString& fieldName) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i]->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool DataSetModel::SetFieldCaption(const QString& fieldName, const QString& caption)
{
    TField* f = m_ds ? m_ds->FindField(fieldName) : nullptr;
    if (!f)
        return false;
    f->SetDisplayLabel(caption);
    return true;
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

static bool isNumeric(TFieldType t)
{
    return t == ftInteger || t == ftLargeint || t == ftDecimal || t == ftFloat;
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    // Between DisableControls and EnableControls the data set may hold fewer rows than
    // views were told; those read as empty.
    if (!m_ds || !index.isValid() || index.row() >= m_rows || index.column() >= m_columns.size())
        return QVariant();
    const TField* f = m_columns[index.column()];
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        return f->DataType() == ftBoolean ? QVariant() : QVariant(m_ds->DisplayTextAt(row, f));
    case Qt::EditRole:
        return m_ds->ValueAt(row, f);
    case Qt::CheckStateRole:
        if (f->DataType() != ftBoolean)
            return QVariant();
        return m_ds->ValueAt(row, f).toBool() ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return isNumeric(f->DataType()) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case CurrentRowRole:
        return row == m_ds->CurrentIndex();
    default:
        return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole && section >= 0 && section < m_rows ? QVariant(section + 1) : QVariant();
    const TField* f = FieldAt(section);
    if (!f)
        return QVariant();
    if (role == Qt::DisplayRole)
        return f->DisplayLabel();
    if (role == FieldNameRole)
        return f->FieldName();
    return QVariant();
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const
{
    const TField* f = index.isValid() ? FieldAt(index.column()) : nullptr;
    if (!f)
        return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (f->FieldKind() == fkData && !f->ReadOnly())
        fl |= f->DataType() == ftBoolean ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return fl;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TField* f = index.isValid() && index.row() < m_rows ? FieldAt(index.column()) : nullptr;
    if (!f || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)) || index.row() >= m_ds->RecordCount())
        return false;
    const bool check = role == Qt::CheckStateRole && f->DataType() == ftBoolean;
    if (role != Qt::EditRole && !check)
        return false;
    m_ds->SetRecNo(index.row() + 1);
    m_ds->Edit();
    const bool ok = check ? f->SetAsBoolean(value.toInt() == Qt::Checked) : f->SetValue(value);
    if (!ok) {
        m_ds->Cancel();
        return false;
    }
    return m_ds->Post();
}
