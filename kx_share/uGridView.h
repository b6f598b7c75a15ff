#pragma once
// The data-bound grid: a table view over a client data set, shown through the grid's own
// columns (uGridModel.h), with editors by column kind, cell painting hooks (keyword
// highlight, colours), footer sums, and the view's current row kept on the data set's
// cursor. Rows have one fixed height and no widgets of their own, so 100,000 rows scroll as
// fast as a few.
#include "uGridModel.h"

#include <QTableView>
#include <QTimer>

#include <functional>

class QStyleOptionViewItem;
class TGridFooterBar;

class TGridView : public QTableView {
    Q_OBJECT
public:
    explicit TGridView(QWidget* parent = nullptr);

    void SetDataSet(TPClientDataSet* dataSet);
    TPClientDataSet* DataSet() const { return m_model->DataSet(); }
    TGridModel* GridModel() const { return m_model; }

    // Columns in display order.
    int ColumnCount() const { return int(m_model->Columns().size()); }
    TGridColumn* Column(int index) const { return m_model->Columns().value(index); }
    TGridColumn* ColumnByField(const QString& fieldName) const { return m_model->ColumnByField(fieldName); }
    TGridColumn* AddColumn(const QString& fieldName, const QString& caption = QString());
    void MoveColumn(int from, int to) { m_model->MoveColumn(from, to); }
    int IndexOfColumn(const TGridColumn* column) const { return int(m_model->Columns().indexOf(const_cast<TGridColumn*>(column))); }
    // After changing column properties directly: show them.
    void ColumnsChanged() { m_model->ColumnsChanged(); }
    QList<TGridColumn*> VisibleColumns() const;

    // Cells whose text contains the keyword (letter case ignored) show it highlighted.
    void SetHighlightText(const QString& keyword);
    QString HighlightText() const { return m_highlight; }

    // Runs before a cell is painted; may change its colours, font or text.
    using TCustomDrawCell = std::function<void(const QModelIndex& index, TGridColumn* column, QStyleOptionViewItem& option)>;
    void SetOnCustomDrawCell(TCustomDrawCell hook) { m_customDraw = std::move(hook); }
    // Adds a hook after those already set, so that painting rules compose (a keyword
    // highlight over a member's own colours).
    void AddOnCustomDrawCell(TCustomDrawCell hook);
    const TCustomDrawCell& OnCustomDrawCell() const { return m_customDraw; }

    // Closes an open cell editor without storing what it holds.
    void CancelEdit();
    bool Editing() const { return state() == EditingState; }

    // Columns whose width no saved layout fixed widen to their caption and content (numbers
    // and dates whole, texts up to a limit); none gets narrower than its own width. Runs by itself once the first rows
    // have arrived (when control returns to the event loop, or at the first show).
    void SizeColumnsToContent();

    // A line under the rows with each column's footer (sum or count), "合计" in the first
    // column without one.
    void SetFooterVisible(bool visible);
    bool FooterVisible() const;
    QString FooterText(const TGridColumn* column) const;

signals:
    // The pick button of a button-edit cell was pressed on `row`.
    void ButtonClicked(TGridColumn* column, int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void updateGeometries() override;
    void showEvent(QShowEvent* event) override;

private:
    void applyColumns();
    void followCursor(int recIndex);
    void sizeOnFirstRows();
    void scheduleSizing();
    int lastVisibleColumn() const;

    TGridModel* m_model;
    TGridFooterBar* m_footer;
    QString m_highlight;
    TCustomDrawCell m_customDraw;
    bool m_applying = false;
    bool m_syncing = false;
    bool m_sized = false; // sized to rows once; later pages keep the widths
    QTimer m_sizeTimer;
};
