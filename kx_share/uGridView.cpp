#include "uGridView.h"

#include "TDecimal.h"
#include "uPClientDataSet.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>

// --- footer ----------------------------------------------------------------------------------

class TGridFooterBar : public QWidget {
public:
    explicit TGridFooterBar(TGridView* view) : QWidget(view), m_view(view)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            recompute();
            update();
        });
        setAutoFillBackground(true);
    }

    void Schedule()
    {
        if (isVisible())
            m_timer.start();
    }

    QString Text(const TGridColumn* c)
    {
        if (m_timer.isActive() || m_dirty) {
            m_timer.stop();
            recompute();
        }
        return m_texts.value(c);
    }

    void MarkDirty()
    {
        m_dirty = true;
        Schedule();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.setPen(palette().mid().color());
        p.drawLine(0, 0, width(), 0);
        p.setPen(palette().windowText().color());
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        QHeaderView* h = m_view->horizontalHeader();
        bool labelled = false;
        for (int k = 0; k < h->count(); ++k) {
            const int i = h->logicalIndex(k);
            if (h->isSectionHidden(i))
                continue;
            QRect r(h->sectionViewportPosition(i), 0, h->sectionSize(i), height());
            const QString text = Text(m_view->Column(i));
            if (text.isEmpty()) {
                if (!labelled && m_view->Column(i)->Footer == TGridFooter::None)
                    p.drawText(r.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("合计"));
                labelled = true;
                continue;
            }
            labelled = true;
            p.drawText(r.adjusted(3, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, text);
        }
    }

private:
    void recompute()
    {
        m_dirty = false;
        m_texts.clear();
        TGridModel* m = m_view->GridModel();
        TPClientDataSet* ds = m->DataSet();
        const int rows = m->rowCount();
        for (TGridColumn* c : m->Columns()) {
            if (c->Footer == TGridFooter::Count) {
                m_texts.insert(c, QString::number(rows));
                continue;
            }
            const TField* f = m->FieldOf(c);
            if (c->Footer != TGridFooter::Sum || !f)
                continue;
            TDecimal sum;
            bool exact = true;
            double approx = 0;
            for (int r = 0; r < rows; ++r) {
                const QString text = ds->DisplayTextAt(r, f);
                if (text.isEmpty())
                    continue;
                const auto d = TDecimal::Parse(QStringView(text));
                const auto s = d ? sum.Add(*d) : std::nullopt;
                if (s)
                    sum = *s;
                else
                    exact = false;
                approx += text.toDouble();
            }
            // A column of whole numbers sums as one, as its cells are shown.
            const int scale = c->Editor == TGridEditor::Integer || f->DataType() == ftInteger || f->DataType() == ftLargeint ? 0 : 2;
            const auto shown = exact ? sum.Rescaled(scale) : TDecimal::FromDouble(approx, scale);
            m_texts.insert(c, shown ? shown->ToString() : QString::number(approx, 'f', scale));
        }
    }

    TGridView* m_view;
    QTimer m_timer;
    QHash<const TGridColumn*, QString> m_texts;
    bool m_dirty = true;
};

// --- delegate --------------------------------------------------------------------------------

namespace {

class TGridDelegate : public QStyledItemDelegate {
public:
    explicit TGridDelegate(TGridView* view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        TGridColumn* c = m_view->Column(index.column());
        if (m_view->OnCustomDrawCell())
            m_view->OnCustomDrawCell()(index, c, opt);
        const QString key = m_view->HighlightText();
        const qsizetype at = key.isEmpty() || !c || c->Editor == TGridEditor::Password
                                 ? -1
                                 : opt.text.indexOf(key, 0, Qt::CaseInsensitive);
        if (at < 0) {
            opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
            return;
        }
        // Draw the cell without its text, then the text with the keyword marked.
        const QString text = opt.text;
        opt.text.clear();
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        const QRect r = opt.widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget).adjusted(3, 0, -3, 0);
        const QFontMetrics fm(opt.font);
        const int full = fm.horizontalAdvance(text);
        const int x = (opt.displayAlignment & Qt::AlignRight) ? r.right() - full : r.left();
        const QRect mark(x + fm.horizontalAdvance(text.left(at)), r.top() + 1, fm.horizontalAdvance(text.mid(at, key.size())), r.height() - 2);
        painter->save();
        painter->setClipRect(r);
        painter->fillRect(mark, QColor(255, 230, 0));
        painter->setFont(opt.font);
        painter->setPen((opt.state & QStyle::State_Selected) && !mark.isEmpty() ? opt.palette.highlightedText().color()
                                                                                 : opt.palette.text().color());
        painter->drawText(QRect(x, r.top(), full + 1, r.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TGridColumn* c = m_view->Column(index.column());
        switch (c ? c->Editor : TGridEditor::Text) {
        case TGridEditor::Amount: {
            auto* e = new QLineEdit(parent);
            auto* v = new QDoubleValidator(e);
            v->setNotation(QDoubleValidator::StandardNotation);
            v->setDecimals(2);
            e->setValidator(v);
            e->setAlignment(Qt::AlignRight);
            return e;
        }
        case TGridEditor::Integer: {
            // Whole pieces, signed: adjustments take stock away.
            auto* e = new QLineEdit(parent);
            e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,12}")), e));
            e->setAlignment(Qt::AlignRight);
            return e;
        }
        case TGridEditor::Password: {
            auto* e = new QLineEdit(parent);
            e->setEchoMode(QLineEdit::Password);
            return e;
        }
        case TGridEditor::Lookup: {
            auto* box = new QComboBox(parent);
            TPClientDataSet* ds = c->LookupDataSet;
            const TField* key = ds ? ds->FindField(c->LookupKeyField) : nullptr;
            const TField* list = ds ? ds->FindField(c->LookupListField) : nullptr;
            for (int r = 0; key && list && r < ds->RecordCount(); ++r)
                box->addItem(ds->DisplayTextAt(r, list), ds->ValueAt(r, key));
            return box;
        }
        case TGridEditor::Date: {
            auto* e = new QDateEdit(parent);
            e->setCalendarPopup(true);
            e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
            return e;
        }
        case TGridEditor::Button: {
            auto* e = new QLineEdit(parent);
            QAction* pick = e->addAction(e->style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::TrailingPosition);
            const int row = m_view->GridModel()->RecordOf(index.row());
            connect(pick, &QAction::triggered, m_view, [view = m_view, c, row] { emit view->ButtonClicked(c, row); });
            return e;
        }
        default:
            return QStyledItemDelegate::createEditor(parent, option, index);
        }
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QVariant v = index.data(Qt::EditRole);
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            box->setCurrentIndex(box->findData(v));
        } else if (auto* date = qobject_cast<QDateEdit*>(editor)) {
            date->setDate(v.toDate().isValid() ? v.toDate() : v.toDateTime().date().isValid() ? v.toDateTime().date() : QDate::currentDate());
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            // Numbers are edited as they are shown (two decimals, or whole).
            const TGridEditor kind = m_view->Column(index.column())->Editor;
            line->setText(kind == TGridEditor::Amount || kind == TGridEditor::Integer ? index.data().toString() : v.toString());
        } else {
            QStyledItemDelegate::setEditorData(editor, index);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor))
            model->setData(index, box->currentData());
        else if (auto* date = qobject_cast<QDateEdit*>(editor))
            model->setData(index, date->date().toString(QStringLiteral("yyyy-MM-dd")));
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            model->setData(index, line->text());
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    TGridView* m_view;
};

} // namespace

// --- view ------------------------------------------------------------------------------------

TGridView::TGridView(QWidget* parent)
    : QTableView(parent), m_model(new TGridModel(this)), m_footer(new TGridFooterBar(this))
{
    setModel(m_model);
    setItemDelegate(new TGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* v = verticalHeader();
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(fontMetrics().height() + 6);
    v->setMinimumSectionSize(1);
    v->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QHeaderView* h = horizontalHeader();
    h->setHighlightSections(false);
    h->setStretchLastSection(true);
    // A header click sorts the loaded rows; a third click gives back the data set's order.
    h->setSortIndicator(-1, Qt::AscendingOrder);
    h->setSortIndicatorClearable(true);
    setSortingEnabled(true);
    m_footer->hide();
    connect(m_model, &TGridModel::sortCleared, this, [this] { horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); });

    connect(m_model, &TGridModel::columnsChanged, this, &TGridView::applyColumns);
    // While the model resets, the header lays its sections out anew: those sizes are not
    // the columns' widths.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_applying = true; });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_applying = false;
        applyColumns();
        scheduleSizing();
        m_footer->MarkDirty();
        // A reset forgets the view's current row; the data set's cursor is still where it was.
        if (TPClientDataSet* ds = DataSet())
            followCursor(ds->CurrentIndex());
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, m_footer, [this] {
        scheduleSizing();
        m_footer->MarkDirty();
    });
    connect(m_model, &QAbstractItemModel::rowsRemoved, m_footer, [this] { m_footer->MarkDirty(); });
    connect(m_model, &QAbstractItemModel::dataChanged, m_footer, [this] { m_footer->MarkDirty(); });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int i, int, int size) {
        // The last column's stretch to the view's width is not its width.
        if (!m_applying && size > 0 && i != lastVisibleColumn())
            if (TGridColumn* c = Column(i))
                c->Width = size;
        m_footer->update();
    });
    m_sizeTimer.setSingleShot(true);
    m_sizeTimer.setInterval(0);
    connect(&m_sizeTimer, &QTimer::timeout, this, &TGridView::sizeOnFirstRows);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_footer, qOverload<>(&QWidget::update));
}

void TGridView::SetDataSet(TPClientDataSet* dataSet)
{
    if (TPClientDataSet* old = DataSet())
        disconnect(old, nullptr, this, nullptr);
    // Rows the data set removes move the view's current row, which must not move the cursor:
    // the data set has already placed it. Connected before the model, so the view is told
    // first.
    if (dataSet) {
        connect(dataSet, &TPClientDataSet::rowsAboutToBeRemoved, this, [this] { m_syncing = true; });
        connect(dataSet, &TPClientDataSet::rowsRemoved, this, [this, dataSet] {
            m_syncing = false;
            followCursor(dataSet->CurrentIndex());
        });
    }
    m_model->SetDataSet(dataSet);
    if (dataSet)
        connect(dataSet, &TPClientDataSet::currentRowChanged, this, &TGridView::followCursor);
    followCursor(dataSet ? dataSet->CurrentIndex() : -1);
}

TGridColumn* TGridView::AddColumn(const QString& fieldName, const QString& caption)
{
    TGridColumn* c = m_model->AddColumn(fieldName);
    if (!caption.isEmpty()) {
        c->Caption = caption;
        m_model->ColumnsChanged();
    }
    return c;
}

QList<TGridColumn*> TGridView::VisibleColumns() const
{
    QList<TGridColumn*> out;
    for (TGridColumn* c : m_model->Columns())
        if (c->Visible)
            out << c;
    return out;
}

void TGridView::SetHighlightText(const QString& keyword)
{
    m_highlight = keyword;
    viewport()->update();
}

void TGridView::CancelEdit()
{
    if (QWidget* editor = indexWidget(currentIndex()))
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void TGridView::SetFooterVisible(bool visible)
{
    m_footer->setVisible(visible);
    updateGeometries();
    m_footer->MarkDirty();
}

bool TGridView::FooterVisible() const
{
    return !m_footer->isHidden();
}

QString TGridView::FooterText(const TGridColumn* column) const
{
    return m_footer->Text(column);
}

void TGridView::applyColumns()
{
    m_applying = true;
    const auto& cols = m_model->Columns();
    for (int i = 0; i < cols.size(); ++i) {
        setColumnHidden(i, !cols[i]->Visible);
        if (cols[i]->Visible && columnWidth(i) != cols[i]->Width)
            setColumnWidth(i, cols[i]->Width);
    }
    m_applying = false;
    m_footer->MarkDirty();
}

void TGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    TPClientDataSet* ds = DataSet();
    const int rec = current.isValid() ? m_model->RecordOf(current.row()) : -1;
    if (m_syncing || !ds || rec < 0 || rec == ds->CurrentIndex())
        return;
    m_syncing = true;
    ds->SetRecNo(rec + 1);
    m_syncing = false;
}

void TGridView::followCursor(int recIndex)
{
    const int row = m_model->RowOf(recIndex);
    if (m_syncing || row < 0)
        return;
    m_syncing = true;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    selectionModel()->setCurrentIndex(m_model->index(row, column), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_syncing = false;
}

void TGridView::updateGeometries()
{
    // The base class resets the viewport margins; the footer takes a strip under the rows.
    QTableView::updateGeometries();
    const int h = FooterVisible() ? fontMetrics().height() + 8 : 0;
    const QMargins m = viewportMargins();
    if (m.bottom() != h)
        setViewportMargins(m.left(), m.top(), m.right(), h);
    if (h > 0) {
        const QRect vg = viewport()->geometry();
        m_footer->setGeometry(vg.left(), vg.bottom() + 1, vg.width(), h);
        m_footer->raise();
    }
}

void TGridView::AddOnCustomDrawCell(TCustomDrawCell hook)
{
    if (!m_customDraw) {
        m_customDraw = std::move(hook);
        return;
    }
    m_customDraw = [first = std::move(m_customDraw), then = std::move(hook)](const QModelIndex& index, TGridColumn* column,
                                                                            QStyleOptionViewItem& option) {
        first(index, column, option);
        then(index, column, option);
    };
}

void TGridView::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    // Rows already there are measured before the first paint; before any rows, the
    // captions at least are whole.
    if (m_sizeTimer.isActive()) {
        m_sizeTimer.stop();
        sizeOnFirstRows();
    }
    if (!m_sized)
        SizeColumnsToContent();
}

void TGridView::scheduleSizing()
{
    // After the caller has added all its columns and rows.
    if (!m_sized && m_model->rowCount() > 0)
        m_sizeTimer.start();
}

void TGridView::sizeOnFirstRows()
{
    if (m_sized || m_model->rowCount() == 0 || m_model->columnCount() == 0)
        return;
    m_sized = true;
    SizeColumnsToContent();
}

int TGridView::lastVisibleColumn() const
{
    const QHeaderView* h = horizontalHeader();
    for (int k = h->count() - 1; k >= 0; --k)
        if (!h->isSectionHidden(h->logicalIndex(k)))
            return h->logicalIndex(k);
    return -1;
}

void TGridView::SizeColumnsToContent()
{
    // A sample of rows is enough to find a width and keeps 100,000 rows quick.
    constexpr int kSampleRows = 400;
    constexpr int kTextLimit = 260;
    const QFontMetrics cellFm(font());
    const QFontMetrics headFm(horizontalHeader()->font());
    const int rows = qMin(m_model->rowCount(), kSampleRows);
    const int pad = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 14;
    bool changed = false;
    for (TGridColumn* c : m_model->Columns()) {
        if (!c->Visible || c->WidthFixed)
            continue;
        const TField* f = m_model->FieldOf(c);
        // Room for the sort arrow beside the caption.
        int width = headFm.horizontalAdvance(c->Caption) + pad + 16;
        int content = 0;
        if (c->Editor == TGridEditor::Check || (f && f->DataType() == ftBoolean)) {
            content = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + pad;
        } else {
            for (int r = 0; r < rows; ++r)
                content = qMax(content, cellFm.horizontalAdvance(m_model->CellText(m_model->RecordOf(r), c)));
            if (content > 0)
                content += pad;
        }
        const bool whole = f && c->Editor != TGridEditor::Lookup
                           && (c->Editor == TGridEditor::Amount || c->Editor == TGridEditor::Date || f->DataType() == ftInteger
                               || f->DataType() == ftLargeint || f->DataType() == ftFloat || f->DataType() == ftDecimal
                               || f->DataType() == ftDate || f->DataType() == ftDateTime);
        if (content > 0)
            width = qMax(width, whole ? content : qMin(content, kTextLimit));
        // Only wider: a column's own width is the least it gets.
        width = qMax(width, c->Width);
        if (c->Width != width) {
            c->Width = width;
            changed = true;
        }
    }
    if (changed)
        applyColumns();
}
