#include "uKX_Designer.h"

#include "uRMDesignCanvas.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QUndoStack>

#include <algorithm>
#include <functional>

TKX_FormDesigner::TKX_FormDesigner(QWidget* canvasParent, QObject* owner)
    : QObject(owner), m_canvas(new TRMDesignCanvas(&m_sheet, canvasParent)), m_undo(new QUndoStack(this))
{
    m_sheet = KxExpressSheet(m_page);
    m_canvas->SetSheetMode(kExpressPxPerMm, Qt::red);
    m_canvas->SetDisplayText([](const TRMObject& o) {
        const QString caption = KxExpressCaption(o.name);
        return caption.isEmpty() ? o.text : caption;
    });
    connect(m_canvas, &TRMDesignCanvas::selectionChanged, this, &TKX_FormDesigner::selectionChanged);
    connect(m_canvas, &TRMDesignCanvas::edited, this, [this](const QString& what, const TRMTemplate& before) {
        m_undo->push(new TRMTemplateCommand(what, before, m_sheet, QString(), [this](const TRMTemplate& t) { restore(t); }));
        emit changed();
    });
}

void TKX_FormDesigner::SetLayout(const TExpressLayout& layout)
{
    m_page = layout;
    m_page.labels.clear();
    m_sheet = KxExpressSheet(layout);
    m_undo->clear();
    m_canvas->SetSelection(QString(), QString());
    m_canvas->Relayout();
    emit changed();
}

TExpressLayout TKX_FormDesigner::Layout() const
{
    TExpressLayout l = m_page;
    KxExpressLabelsFromSheet(m_sheet, &l);
    return l;
}

void TKX_FormDesigner::SetPage(const TExpressLayout& page)
{
    TExpressLayout l = page;
    KxExpressLabelsFromSheet(m_sheet, &l);
    SetLayout(l);
}

bool TKX_FormDesigner::HasLabel(const QString& name) const
{
    return LabelNames().contains(name);
}

QStringList TKX_FormDesigner::LabelNames() const
{
    QStringList names;
    for (const TRMBand& b : m_sheet.bands)
        for (const TRMObject& o : b.objects)
            names << o.name;
    return names;
}

void TKX_FormDesigner::AddLabel(const TExpressLabel& label)
{
    if (HasLabel(label.name) || m_sheet.bands.empty())
        return;
    TExpressLayout one;
    one.bgSize = m_page.bgSize;
    one.labels << label;
    const TRMObject o = KxExpressSheet(one).bands.front().objects.front();
    change(QStringLiteral("添加字段"), [&](TRMTemplate& t) { t.bands.front().objects.push_back(o); });
}

void TKX_FormDesigner::RemoveLabel(const QString& name)
{
    change(QStringLiteral("删除字段"), [&](TRMTemplate& t) {
        for (TRMBand& b : t.bands)
            std::erase_if(b.objects, [&](const TRMObject& o) { return o.name == name; });
    });
    if (m_canvas->SelectedObject() == name)
        m_canvas->SetSelection(QString(), QString());
}

void TKX_FormDesigner::Select(const QString& name)
{
    m_canvas->SetSelection(name.isEmpty() ? QString() : QStringLiteral("Labels"), name);
}

QString TKX_FormDesigner::Selected() const
{
    return m_canvas->SelectedObject();
}

void TKX_FormDesigner::EditSelected(const QString& what, const std::function<void(TRMObject&)>& edit, const QString& mergeKey)
{
    const QString name = Selected();
    if (name.isEmpty())
        return;
    change(what, [&](TRMTemplate& t) {
        if (TRMObject* o = t.FindObject(name))
            edit(*o);
    }, mergeKey.isEmpty() ? QString() : mergeKey + u'/' + name);
}

void TKX_FormDesigner::change(const QString& what, const std::function<void(TRMTemplate&)>& edit, const QString& key)
{
    TRMTemplate before = m_sheet;
    edit(m_sheet);
    if (m_sheet == before)
        return;
    m_undo->push(new TRMTemplateCommand(what, std::move(before), m_sheet, key, [this](const TRMTemplate& t) { restore(t); }));
    m_canvas->update();
    emit changed();
}

void TKX_FormDesigner::restore(const TRMTemplate& t)
{
    m_sheet = t;
    if (!m_sheet.FindObject(m_canvas->SelectedObject()))
        m_canvas->SetSelection(QString(), QString());
    m_canvas->Relayout();
    emit changed();
}

namespace {
QSpinBox* pxBox(QWidget* parent)
{
    auto* b = new QSpinBox(parent);
    b->setRange(0, 5000);
    b->setSuffix(QStringLiteral(" px"));
    return b;
}
}

TKX_InspectorList::TKX_InspectorList(TKX_FormDesigner* designer, QWidget* parent)
    : QWidget(parent), m_designer(designer), m_name(new QLabel(this)), m_memo(new QLineEdit(this)),
      m_left(pxBox(this)), m_top(pxBox(this)), m_width(pxBox(this)), m_height(pxBox(this)), m_font(new QDoubleSpinBox(this))
{
    m_font->setRange(4, 72);
    m_font->setDecimals(0);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("字段："), m_name);
    form->addRow(QStringLiteral("打印内容："), m_memo);
    form->addRow(QStringLiteral("左："), m_left);
    form->addRow(QStringLiteral("上："), m_top);
    form->addRow(QStringLiteral("宽："), m_width);
    form->addRow(QStringLiteral("高："), m_height);
    form->addRow(QStringLiteral("字号："), m_font);

    connect(m_memo, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_designer->EditSelected(QStringLiteral("打印内容"), [&](TRMObject& o) { o.text = text; }, QStringLiteral("memo"));
    });
    auto geometry = [this](QSpinBox* box, const char* key, std::function<void(QRectF&, double)> set) {
        connect(box, &QSpinBox::valueChanged, this, [this, key, set](int px) {
            if (m_filling)
                return;
            m_designer->EditSelected(QStringLiteral("位置和大小"), [&](TRMObject& o) { set(o.rect, KxPxToMm(px)); },
                                     QString::fromLatin1(key));
        });
    };
    geometry(m_left, "x", [](QRectF& r, double v) { r.moveLeft(v); });
    geometry(m_top, "y", [](QRectF& r, double v) { r.moveTop(v); });
    geometry(m_width, "w", [](QRectF& r, double v) { r.setWidth(std::max(v, KxPxToMm(1))); });
    geometry(m_height, "h", [](QRectF& r, double v) { r.setHeight(std::max(v, KxPxToMm(1))); });
    connect(m_font, &QDoubleSpinBox::valueChanged, this, [this](double size) {
        if (!m_filling)
            m_designer->EditSelected(QStringLiteral("字号"), [&](TRMObject& o) { o.fontSize = size; }, QStringLiteral("font"));
    });
    connect(designer, &TKX_FormDesigner::selectionChanged, this, &TKX_InspectorList::Refresh);
    connect(designer, &TKX_FormDesigner::changed, this, &TKX_InspectorList::Refresh);
    Refresh();
}

void TKX_InspectorList::Refresh()
{
    m_filling = true;
    const TExpressLayout l = m_designer->Layout();
    const TExpressLabel* label = l.Label(m_designer->Selected());
    for (QWidget* w : std::initializer_list<QWidget*>{m_memo, m_left, m_top, m_width, m_height, m_font})
        w->setEnabled(label);
    m_name->setText(label ? KxExpressCaption(label->name) + QStringLiteral("（%1）").arg(label->name) : QString());
    if (label) {
        if (m_memo->text() != label->memo)
            m_memo->setText(label->memo);
        m_left->setValue(label->rect.x());
        m_top->setValue(label->rect.y());
        m_width->setValue(label->rect.width());
        m_height->setValue(label->rect.height());
        m_font->setValue(label->fontSize);
    } else {
        m_memo->clear();
    }
    m_filling = false;
}
