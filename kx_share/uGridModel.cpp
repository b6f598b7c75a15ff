#include "uGridModel.h"

#include "DataSetModel.h"
#include "TDecimal.h"
#include "uPClientDataSet.h"

#include <QCollator>

#include <algorithm>
#include <vector>

bool KxIsTotalField(const QString& fieldName)
{
    const QString n = fieldName.trimmed().toLower();
    return n.endsWith(u"money") || n.startsWith(u"sum") || n.endsWith(u"num") || n.endsWith(u"count")
           || n.startsWith(u"qty") || n.startsWith(u"total");
}

TGridColumn::TGridColumn(const QString& fieldName, QObject* parent)
    : QObject(parent), FieldName(fieldName), Caption(fieldName)
{
}

TGridModel::TGridModel(QObject* parent) : QAbstractTableModel(parent), m_source(new DataSetModel(this))
{
    // Rows come from the data set model; columns are ours. New data keeps a chosen sort
    // (it is applied again); single rows added or removed while sorted put the rows back in
    // the data set's order, so a new row appears where the data set put it.
    connect(m_source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(m_source, &QAbstractItemModel::modelReset, this, [this] {
        buildOrder();
        endResetModel();
    });
    connect(m_source, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex&, int f, int l) {
        m_dropSort = !m_order.isEmpty();
        if (m_dropSort)
            beginResetModel();
        else
            beginInsertRows(QModelIndex(), f, l);
    });
    connect(m_source, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_dropSort) {
            endInsertRows();
            return;
        }
        clearOrder();
        endResetModel();
        emit sortCleared();
    });
    connect(m_source, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int f, int l) {
        m_dropSort = !m_order.isEmpty();
        if (m_dropSort)
            beginResetModel();
        else
            beginRemoveRows(QModelIndex(), f, l);
    });
    connect(m_source, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_dropSort) {
            endRemoveRows();
            return;
        }
        clearOrder();
        endResetModel();
        emit sortCleared();
    });
    connect(m_source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& tl, const QModelIndex& br, const QList<int>& roles) {
                if (m_columns.isEmpty())
                    return;
                if (m_order.isEmpty())
                    emit dataChanged(index(tl.row(), 0), index(br.row(), columnCount() - 1), roles);
                else if (tl.row() == br.row())
                    emit dataChanged(index(RowOf(tl.row()), 0), index(RowOf(tl.row()), columnCount() - 1), roles);
                else
                    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), roles);
            });
}

void TGridModel::SetDataSet(TPClientDataSet* dataSet)
{
    m_source->SetDataSet(dataSet);
}

TPClientDataSet* TGridModel::DataSet() const
{
    return m_source->DataSet();
}

void TGridModel::reset(const std::function<void()>& change)
{
    // Columns added, moved or removed: the sort column's index means another column now.
    const bool sorted = m_sortColumn >= 0;
    beginResetModel();
    change();
    clearOrder();
    endResetModel();
    emit columnsChanged();
    if (sorted)
        emit sortCleared();
}

void TGridModel::clearOrder()
{
    m_sortColumn = -1;
    m_order.clear();
    m_rowOf.clear();
}

TGridColumn* TGridModel::AddColumn(const QString& fieldName)
{
    auto* c = new TGridColumn(fieldName, this);
    reset([&] { m_columns.append(c); });
    return c;
}

void TGridModel::RemoveColumn(int index)
{
    if (index < 0 || index >= m_columns.size())
        return;
    TGridColumn* c = m_columns[index];
    reset([&] { m_columns.removeAt(index); });
    delete c;
}

void TGridModel::ClearColumns()
{
    const QList<TGridColumn*> old = m_columns;
    reset([&] { m_columns.clear(); });
    qDeleteAll(old);
}

void TGridModel::MoveColumn(int from, int to)
{
    if (from < 0 || from >= m_columns.size() || to < 0 || to >= m_columns.size() || from == to)
        return;
    reset([&] { m_columns.move(from, to); });
}

void TGridModel::ColumnsChanged()
{
    if (!m_columns.isEmpty())
        emit headerDataChanged(Qt::Horizontal, 0, int(m_columns.size()) - 1);
    emit columnsChanged();
}

TGridColumn* TGridModel::ColumnByField(const QString& fieldName) const
{
    for (TGridColumn* c : m_columns)
        if (c->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

TField* TGridModel::FieldOf(const TGridColumn* column) const
{
    TPClientDataSet* ds = DataSet();
    return ds && column ? ds->FindField(column->FieldName) : nullptr;
}

QString TGridModel::CellText(int row, const TGridColumn* c) const
{
    TPClientDataSet* ds = DataSet();
    const TField* f = FieldOf(c);
    if (!f || row < 0 || row >= rowCount())
        return {};
    const bool whole = f->DataType() == ftInteger || f->DataType() == ftLargeint;
    switch (c->Editor) {
    case TGridEditor::Password:
        return ds->IsNullAt(row, f) ? QString() : QStringLiteral("******");
    case TGridEditor::Amount: {
        const QString text = ds->DisplayTextAt(row, f);
        // Counts stay whole numbers even in a column of amounts.
        if (text.isEmpty() || whole)
            return text;
        const QByteArray latin = text.toLatin1();
        const auto d = TDecimal::Parse(std::string_view(latin.constData(), size_t(latin.size())), 2);
        return d ? d->ToString() : text;
    }
    case TGridEditor::Integer: {
        const QString text = ds->DisplayTextAt(row, f);
        const QByteArray latin = text.toLatin1();
        const auto d = TDecimal::Parse(std::string_view(latin.constData(), size_t(latin.size())), 0);
        return d ? d->ToString() : text;
    }
    case TGridEditor::Lookup: {
        if (!c->LookupDataSet || ds->IsNullAt(row, f))
            return {};
        return c->LookupDataSet->Lookup(c->LookupKeyField, ds->ValueAt(row, f), c->LookupListField).toString();
    }
    case TGridEditor::Check:
        return {};
    default:
        return f->DataType() == ftBoolean ? QString() : ds->DisplayTextAt(row, f);
    }
}

int TGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_source->rowCount();
}

int TGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

static bool isChecked(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const QString s = v.toString().trimmed();
    return s == u"1" || s.compare(u"true", Qt::CaseInsensitive) == 0;
}

QVariant TGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= m_columns.size() || index.row() >= rowCount())
        return {};
    const TGridColumn* c = m_columns[index.column()];
    const TField* f = FieldOf(c);
    const int row = RecordOf(index.row());
    if (!f || row < 0)
        return {};
    const bool check = c->Editor == TGridEditor::Check || f->DataType() == ftBoolean;
    switch (role) {
    case Qt::DisplayRole:
        return CellText(row, c);
    case Qt::EditRole:
        return c->Editor == TGridEditor::Password ? QVariant(QString()) : DataSet()->ValueAt(row, f);
    case Qt::CheckStateRole:
        if (!check)
            return {};
        return isChecked(DataSet()->ValueAt(row, f)) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        if (check)
            return int(Qt::AlignCenter);
        if (c->Editor == TGridEditor::Lookup)
            return {};
        return c->Editor == TGridEditor::Amount || c->Editor == TGridEditor::Integer || f->DataType() == ftInteger || f->DataType() == ftLargeint
                       || f->DataType() == ftDecimal || f->DataType() == ftFloat
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    case DataSetModel::CurrentRowRole:
        return row == DataSet()->CurrentIndex();
    default:
        return {};
    }
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return m_source->headerData(RecordOf(section), orientation, role);
    if (section < 0 || section >= m_columns.size())
        return {};
    const TGridColumn* c = m_columns[section];
    if (role == Qt::DisplayRole)
        return c->Caption;
    if (role == DataSetModel::FieldNameRole)
        return c->FieldName;
    if (role == ColumnRole)
        return QVariant::fromValue(static_cast<QObject*>(const_cast<TGridColumn*>(c)));
    return {};
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
        return Qt::NoItemFlags;
    const TGridColumn* c = m_columns[index.column()];
    if (c->CellEnabled && !c->CellEnabled(RecordOf(index.row())))
        return Qt::NoItemFlags;
    const TField* f = FieldOf(c);
    Qt::ItemFlags fl = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (!f || c->ReadOnly || f->ReadOnly() || f->FieldKind() != fkData)
        return fl;
    return fl | (c->Editor == TGridEditor::Check || f->DataType() == ftBoolean ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}

bool TGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const TGridColumn* c = m_columns[index.column()];
    TField* f = FieldOf(c);
    TPClientDataSet* ds = DataSet();
    QVariant v = value;
    if (role == Qt::CheckStateRole) {
        const bool on = value.toInt() == Qt::Checked;
        v = f->DataType() == ftBoolean ? QVariant(on) : QVariant(on ? QStringLiteral("1") : QStringLiteral("0"));
    } else if (role != Qt::EditRole)
        return false;
    // A password cell left empty keeps the stored value.
    if (c->Editor == TGridEditor::Password && v.toString().isEmpty())
        return false;
    const int rec = RecordOf(index.row());
    ds->SetRecNo(rec + 1);
    ds->Edit();
    if (!f->SetValue(v)) {
        ds->Cancel();
        emit valueRefused(rec, m_columns[index.column()], v.toString());
        return false;
    }
    if (!ds->Post())
        return false;
    emit cellEdited(rec, m_columns[index.column()]);
    return true;
}

int TGridModel::RecordOf(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_order.isEmpty() ? row : m_order.value(row, -1);
}

int TGridModel::RowOf(int recIndex) const
{
    if (recIndex < 0 || recIndex >= rowCount())
        return -1;
    return m_rowOf.isEmpty() ? recIndex : m_rowOf.value(recIndex, -1);
}

void TGridModel::buildOrder()
{
    m_order.clear();
    m_rowOf.clear();
    const TGridColumn* c = m_columns.value(m_sortColumn);
    const TField* f = FieldOf(c);
    const int rows = rowCount();
    if (!f || rows == 0)
        return;
    TPClientDataSet* ds = DataSet();
    m_order.resize(rows);
    for (int r = 0; r < rows; ++r)
        m_order[r] = r;
    const TFieldType t = f->DataType();
    const bool numeric = c->Editor != TGridEditor::Lookup
                         && (t == ftInteger || t == ftLargeint || t == ftFloat || t == ftDecimal || c->Editor == TGridEditor::Amount);
    // Empty cells come first when ascending; the data set's order breaks ties.
    if (numeric) {
        QList<double> key(rows);
        QList<bool> empty(rows);
        for (int r = 0; r < rows; ++r) {
            empty[r] = ds->IsNullAt(r, f);
            key[r] = empty[r] ? 0 : ds->DisplayTextAt(r, f).toDouble();
        }
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            if (empty[a] != empty[b])
                return empty[a];
            return key[a] < key[b];
        });
    } else {
        // Sort keys once per row instead of collating the texts at every comparison.
        QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
        collator.setNumericMode(true);
        std::vector<QCollatorSortKey> key;
        key.reserve(size_t(rows));
        for (int r = 0; r < rows; ++r)
            key.push_back(collator.sortKey(CellText(r, c)));
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return key[size_t(a)].compare(key[size_t(b)]) < 0; });
    }
    if (m_sortOrder == Qt::DescendingOrder)
        std::reverse(m_order.begin(), m_order.end());
    m_rowOf.resize(rows);
    for (int r = 0; r < rows; ++r)
        m_rowOf[m_order[r]] = r;
}

void TGridModel::sort(int column, Qt::SortOrder order)
{
    // Persistent indexes (the current cell, the selection) follow their records.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> records;
    records.reserve(before.size());
    for (const QModelIndex& i : before)
        records << RecordOf(i.row());
    m_sortColumn = column >= 0 && column < m_columns.size() ? column : -1;
    m_sortOrder = order;
    buildOrder();
    QModelIndexList after;
    after.reserve(before.size());
    for (int k = 0; k < before.size(); ++k)
        after << (records[k] < 0 ? QModelIndex() : index(RowOf(records[k]), before[k].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
