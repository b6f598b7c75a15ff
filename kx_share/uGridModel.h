#pragma once
// The columns of a grid and the table model that shows a data set through them. Columns are
// bound to field names; their order, captions, widths, visibility and editors belong to the
// grid, not to the data set, so two grids over one data set can differ.
#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class DataSetModel;
class TField;
class TPClientDataSet;

enum class TGridEditor {
    Text,
    Amount,   // shown with two decimals ("0.00")
    Integer,  // a number shown whole (rounded half away from zero)
    Check,    // a check box; on non-Boolean fields "1" is ticked and "0" not
    Lookup,   // a drop-down over another data set, showing its display field
    Button,   // text with a pick button (TGridView::ButtonClicked)
    Password, // shown masked, never exported or printed
    Date,     // yyyy-MM-dd with a calendar
};

enum class TGridFooter { None, Sum, Count };

// Whether a field's name says it holds a total worth summing under the rows: money
// ("...money", "sum..."), quantities ("...num", "...count", "qty..."); unit prices are not.
bool KxIsTotalField(const QString& fieldName);

class TGridColumn : public QObject {
    Q_OBJECT
public:
    explicit TGridColumn(const QString& fieldName, QObject* parent = nullptr);

    QString FieldName;
    QString Caption;     // the field name until set
    int Width = 80;
    // The width came from a saved layout: sizing to the content leaves it alone.
    bool WidthFixed = false;
    bool Visible = true;
    bool ReadOnly = false;
    TGridEditor Editor = TGridEditor::Text;
    TGridFooter Footer = TGridFooter::None;
    // Lookup: this column's value is matched with LookupKeyField of LookupDataSet and that
    // row's LookupListField is shown.
    QPointer<TPClientDataSet> LookupDataSet;
    QString LookupKeyField;
    QString LookupListField;
    // When set and false for a data set row: that row's cell takes neither the focus nor any
    // input (a tick that means nothing on a row already dealt with).
    std::function<bool(int recIndex)> CellEnabled;
};

class TGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { ColumnRole = Qt::UserRole + 20 /* the TGridColumn* of a header */ };

    explicit TGridModel(QObject* parent = nullptr);

    void SetDataSet(TPClientDataSet* dataSet);
    TPClientDataSet* DataSet() const;
    DataSetModel* Source() const { return m_source; }

    // Columns, in display order; the model owns them.
    const QList<TGridColumn*>& Columns() const { return m_columns; }
    TGridColumn* AddColumn(const QString& fieldName);
    void RemoveColumn(int index);
    void ClearColumns();
    void MoveColumn(int from, int to);
    TGridColumn* ColumnByField(const QString& fieldName) const; // letter case ignored
    TField* FieldOf(const TGridColumn* column) const;
    // Tells views that column properties (captions, widths, visibility, editors) changed.
    void ColumnsChanged();

    // The text a person sees in the cell of record `recIndex` (a data set row, not a view
    // row): amounts with two decimals (whole numbers for integer fields), lookups resolved,
    // passwords masked.
    QString CellText(int recIndex, const TGridColumn* column) const;

    // Rows can be shown in another order than the data set's (a header click sorts the
    // loaded rows here, leaving the data set as it is). Column -1 is the data set's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int SortColumn() const { return m_sortColumn; }
    // The data set row shown on view row `row`, and back; -1 when out of range.
    int RecordOf(int row) const;
    int RowOf(int recIndex) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void columnsChanged();
    // The operator's entry in a cell was stored (the row is posted).
    void cellEdited(int row, TGridColumn* column);
    // The operator's entry did not fit the field (a quantity that is not a number, say);
    // the row keeps its value.
    void valueRefused(int row, TGridColumn* column, const QString& text);
    // The rows went back to the data set's order (rows were added or removed while sorted).
    void sortCleared();

private:
    void reset(const std::function<void()>& change);
    void buildOrder();
    void clearOrder();

    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QList<int> m_order;   // view row -> data set row; empty: the data set's order
    QList<int> m_rowOf;   // data set row -> view row, when m_order is set
    bool m_dropSort = false;

    DataSetModel* m_source;
    QList<TGridColumn*> m_columns;
};
