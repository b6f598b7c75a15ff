#include "uRMDesigner.h"
#include "uRMDataSet.h"
#include "uRMDesignCanvas.h"
#include "uRMEngine.h"
#include "uRMPageSetup.h"
#include "uRMPreview.h"
#include "uRMReport.h"
#include "uUiHooks.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

QDoubleSpinBox* mmBox(double max = 2000)
{
    auto* b = new QDoubleSpinBox;
    b->setRange(0, max);
    b->setDecimals(1);
    b->setSingleStep(0.5);
    return b;
}

const char16_t* const kObjectPrefixes[] = {u"Memo", u"Picture", u"BarCode", u"Label"};

} // namespace

TRMDesignerForm::TRMDesignerForm(TRMReport* report, QWidget* parent)
    : QDialog(parent), m_report(report), m_doc(report->Template()), m_undo(new QUndoStack(this))
{
    setWindowTitle(QStringLiteral("报表设计"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(1200, 800);
    m_doc.SortBands();

    m_canvas = new TRMDesignCanvas(&m_doc);
    auto* scroll = new QScrollArea;
    scroll->setWidget(m_canvas);
    scroll->setBackgroundRole(QPalette::Dark);

    // Toolbar.
    auto* bar = new QToolBar;
    QAction* save = bar->addAction(QStringLiteral("保存"), this, &TRMDesignerForm::Save);
    save->setShortcut(QKeySequence::Save);
    QAction* undo = m_undo->createUndoAction(this, QStringLiteral("撤销"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = m_undo->createRedoAction(this, QStringLiteral("重做"));
    redo->setShortcut(QKeySequence::Redo);
    bar->addAction(undo);
    bar->addAction(redo);
    bar->addSeparator();
    bar->addAction(QStringLiteral("页面设置"), this, &TRMDesignerForm::PageSetup);
    auto* bandMenu = new QMenu(this);
    for (TRMBandType t : {TRMBandType::Title, TRMBandType::PageHeader, TRMBandType::MasterData,
                          TRMBandType::DetailHeader, TRMBandType::DetailData, TRMBandType::DetailFooter,
                          TRMBandType::Summary, TRMBandType::PageFooter})
        bandMenu->addAction(RMBandTypeCaption(t), this, [this, t] { AddBand(t); });
    auto* bandButton = new QToolButton;
    bandButton->setText(QStringLiteral("添加带区"));
    bandButton->setMenu(bandMenu);
    bandButton->setPopupMode(QToolButton::InstantPopup);
    bar->addWidget(bandButton);
    bar->addAction(QStringLiteral("文本"), this, [this] { AddObject(TRMObjectKind::Memo); });
    bar->addAction(QStringLiteral("旋转文本"), this, [this] { AddObject(TRMObjectKind::AngledLabel); });
    bar->addAction(QStringLiteral("条码"), this, [this] { AddObject(TRMObjectKind::BarCode); });
    bar->addAction(QStringLiteral("图片"), this, [this] { AddObject(TRMObjectKind::Picture); });
    bar->addAction(QStringLiteral("删除"), this, &TRMDesignerForm::DeleteSelection);
    bar->addSeparator();
    bar->addAction(QStringLiteral("字体"), this, &TRMDesignerForm::ChooseFont);
    bar->addAction(QStringLiteral("颜色"), this, [this] {
        TRMObject* o = selectedObject();
        if (!o)
            return;
        QColorDialog dlg(o->color, this);
        if (KxUi().ShowModal(&dlg) == mrOk)
            EditSelectedObject(QStringLiteral("颜色"), [c = dlg.selectedColor()](TRMObject& x) { x.color = c; });
    });
    bar->addAction(QStringLiteral("预览"), this, &TRMDesignerForm::Preview);
    bar->addAction(QStringLiteral("关闭"), this, &TRMDesignerForm::reject);

    auto* del = new QAction(m_canvas);
    del->setShortcut(QKeySequence::Delete);
    del->setShortcutContext(Qt::WidgetShortcut);
    connect(del, &QAction::triggered, this, &TRMDesignerForm::DeleteSelection);
    m_canvas->addAction(del);

    // Left: data fields and variables.
    m_fields = new QTreeWidget;
    m_fields->setHeaderLabel(QStringLiteral("数据字段与变量（双击插入）"));
    connect(m_fields, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const QString expr = item->data(0, Qt::UserRole).toString();
        if (!expr.isEmpty())
            InsertExpression(expr);
    });
    fillFieldList();

    // Right: properties and unknown names.
    m_panel = new QStackedWidget;
    m_panel->addWidget(new QLabel(QStringLiteral("选择一个带区或对象")));
    m_panel->addWidget(buildObjectPanel());
    m_panel->addWidget(buildBandPanel());
    m_unknown = new QListWidget;
    auto* right = new QWidget;
    auto* rl = new QVBoxLayout(right);
    rl->setContentsMargins(0, 0, 0, 0);
    rl->addWidget(m_panel, 3);
    rl->addWidget(new QLabel(QStringLiteral("未知的名称（打印为空）：")));
    rl->addWidget(m_unknown, 1);

    auto* split = new QSplitter;
    split->addWidget(m_fields);
    split->addWidget(scroll);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 700, 280});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(split, 1);

    connect(m_canvas, &TRMDesignCanvas::selectionChanged, this, &TRMDesignerForm::refreshPanel);
    connect(m_canvas, &TRMDesignCanvas::edited, this, [this](const QString& what, const TRMTemplate& before) {
        m_undo->push(new TRMTemplateCommand(what, before, m_doc, QString(), [this](const TRMTemplate& t) { Restore(t); }));
        refreshPanel();
    });
    refreshPanel();
    refreshUnknown();
}

QWidget* TRMDesignerForm::buildObjectPanel()
{
    auto* w = new QWidget;
    auto* f = new QFormLayout(w);
    m_objName = new QLabel;
    m_text = new QPlainTextEdit;
    m_text->setMaximumHeight(90);
    m_x = mmBox();
    m_y = mmBox();
    m_w = mmBox();
    m_h = mmBox();
    m_fontLabel = new QLabel;
    auto* fontButton = new QPushButton(QStringLiteral("字体..."));
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(m_fontLabel, 1);
    fontRow->addWidget(fontButton);
    m_halign = new QComboBox;
    m_halign->addItems({QStringLiteral("左"), QStringLiteral("中"), QStringLiteral("右")});
    m_valign = new QComboBox;
    m_valign->addItems({QStringLiteral("上"), QStringLiteral("中"), QStringLiteral("下")});
    m_wrap = new QCheckBox(QStringLiteral("自动换行"));
    m_stretch = new QCheckBox(QStringLiteral("随内容伸展"));
    auto* frameRow = new QHBoxLayout;
    const QString sides[4] = {QStringLiteral("左"), QStringLiteral("上"), QStringLiteral("右"), QStringLiteral("下")};
    for (int i = 0; i < 4; ++i) {
        m_frame[i] = new QCheckBox(sides[i]);
        frameRow->addWidget(m_frame[i]);
    }
    m_frameWidth = mmBox(5);
    m_frameWidth->setDecimals(2);
    m_frameWidth->setSingleStep(0.1);
    m_angle = new QDoubleSpinBox;
    m_angle->setRange(-360, 360);
    m_symbology = new QComboBox;
    m_symbology->addItems({QStringLiteral("Code 128"), QStringLiteral("EAN-13"), QStringLiteral("QR 码")});
    m_showText = new QCheckBox(QStringLiteral("显示文字"));
    auto* picture = new QPushButton(QStringLiteral("选择图片..."));

    f->addRow(QStringLiteral("名称："), m_objName);
    f->addRow(QStringLiteral("内容："), m_text);
    f->addRow(QStringLiteral("左 (mm)："), m_x);
    f->addRow(QStringLiteral("上 (mm)："), m_y);
    f->addRow(QStringLiteral("宽 (mm)："), m_w);
    f->addRow(QStringLiteral("高 (mm)："), m_h);
    f->addRow(QStringLiteral("字体："), fontRow);
    f->addRow(QStringLiteral("水平对齐："), m_halign);
    f->addRow(QStringLiteral("垂直对齐："), m_valign);
    f->addRow(m_wrap);
    f->addRow(m_stretch);
    f->addRow(QStringLiteral("边框："), frameRow);
    f->addRow(QStringLiteral("边框宽 (mm)："), m_frameWidth);
    f->addRow(QStringLiteral("角度："), m_angle);
    f->addRow(QStringLiteral("条码类型："), m_symbology);
    f->addRow(m_showText);
    f->addRow(picture);

    connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling)
            EditSelectedObject(QStringLiteral("编辑文字"), [t = m_text->toPlainText()](TRMObject& o) { o.text = t; },
                               QStringLiteral("text"));
    });
    auto geometry = [this](QDoubleSpinBox* box, void (*set)(QRectF&, double)) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, box, set](double v) {
            if (!m_filling)
                EditSelectedObject(QStringLiteral("位置和大小"), [set, v](TRMObject& o) { set(o.rect, v); },
                                   QStringLiteral("geometry") + box->objectName());
        });
    };
    m_x->setObjectName(QStringLiteral("x"));
    m_y->setObjectName(QStringLiteral("y"));
    m_w->setObjectName(QStringLiteral("w"));
    m_h->setObjectName(QStringLiteral("h"));
    geometry(m_x, [](QRectF& r, double v) { r.moveLeft(v); });
    geometry(m_y, [](QRectF& r, double v) { r.moveTop(v); });
    geometry(m_w, [](QRectF& r, double v) { r.setWidth(std::max(1.0, v)); });
    geometry(m_h, [](QRectF& r, double v) { r.setHeight(std::max(1.0, v)); });
    connect(fontButton, &QPushButton::clicked, this, &TRMDesignerForm::ChooseFont);
    auto alignment = [this] {
        if (m_filling)
            return;
        const Qt::Alignment h[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
        const Qt::Alignment v[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
        const Qt::Alignment a = h[m_halign->currentIndex()] | v[m_valign->currentIndex()];
        EditSelectedObject(QStringLiteral("对齐"), [a](TRMObject& o) { o.align = a; });
    };
    connect(m_halign, &QComboBox::currentIndexChanged, this, alignment);
    connect(m_valign, &QComboBox::currentIndexChanged, this, alignment);
    auto flag = [this](QCheckBox* box, const QString& what, void (*set)(TRMObject&, bool)) {
        connect(box, &QCheckBox::toggled, this, [this, what, set](bool on) {
            if (!m_filling)
                EditSelectedObject(what, [set, on](TRMObject& o) { set(o, on); });
        });
    };
    flag(m_wrap, QStringLiteral("自动换行"), [](TRMObject& o, bool on) { o.wordWrap = on; });
    flag(m_stretch, QStringLiteral("伸展"), [](TRMObject& o, bool on) { o.stretch = on; });
    flag(m_showText, QStringLiteral("显示文字"), [](TRMObject& o, bool on) { o.showText = on; });
    for (int i = 0; i < 4; ++i)
        connect(m_frame[i], &QCheckBox::toggled, this, [this, i](bool on) {
            if (!m_filling)
                EditSelectedObject(QStringLiteral("边框"), [i, on](TRMObject& o) {
                    o.frame = on ? (o.frame | (1 << i)) : (o.frame & ~(1 << i));
                });
        });
    connect(m_frameWidth, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (!m_filling)
            EditSelectedObject(QStringLiteral("边框宽度"), [v](TRMObject& o) { o.frameWidth = v; }, QStringLiteral("framewidth"));
    });
    connect(m_angle, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (!m_filling)
            EditSelectedObject(QStringLiteral("角度"), [v](TRMObject& o) { o.angle = v; }, QStringLiteral("angle"));
    });
    connect(m_symbology, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_filling)
            EditSelectedObject(QStringLiteral("条码类型"), [i](TRMObject& o) { o.barcode = TRMBarcodeType(i); });
    });
    connect(picture, &QPushButton::clicked, this, [this] {
        if (!selectedObject() || selectedObject()->kind != TRMObjectKind::Picture)
            return;
        QByteArray png;
        if (!KxPickPicturePng(this, QStringLiteral("选择图片"), png))
            return;
        EditSelectedObject(QStringLiteral("图片"), [png](TRMObject& o) {
            o.pictureData = png;
            o.pictureFile.clear();
        });
    });
    return w;
}

QWidget* TRMDesignerForm::buildBandPanel()
{
    auto* w = new QWidget;
    auto* f = new QFormLayout(w);
    m_bandType = new QLabel;
    m_bandName = new QLineEdit;
    m_bandHeight = mmBox();
    m_bandStretch = new QCheckBox(QStringLiteral("随内容伸展"));
    m_newPage = new QCheckBox(QStringLiteral("每条记录后换页"));
    m_dataSet = new QComboBox;
    m_dataSet->setEditable(true);
    m_master = new QComboBox;
    m_masterFields = new QLineEdit;
    m_detailFields = new QLineEdit;
    m_masterFields->setPlaceholderText(QStringLiteral("字段1;字段2"));
    m_detailFields->setPlaceholderText(QStringLiteral("字段1;字段2"));
    f->addRow(QStringLiteral("类型："), m_bandType);
    f->addRow(QStringLiteral("名称："), m_bandName);
    f->addRow(QStringLiteral("高度 (mm)："), m_bandHeight);
    f->addRow(m_bandStretch);
    f->addRow(m_newPage);
    f->addRow(QStringLiteral("数据集："), m_dataSet);
    f->addRow(QStringLiteral("主项带区："), m_master);
    f->addRow(QStringLiteral("主项关联字段："), m_masterFields);
    f->addRow(QStringLiteral("明细关联字段："), m_detailFields);

    connect(m_bandName, &QLineEdit::editingFinished, this, [this] {
        const QString name = m_bandName->text().trimmed();
        TRMBand* b = selectedBand();
        if (m_filling || !b || name.isEmpty() || name == b->name)
            return;
        if (m_doc.FindBand(name) || m_doc.FindObject(name)) {
            KxShowError(QStringLiteral("名称 %1 已被使用！").arg(name));
            m_bandName->setText(b->name);
            return;
        }
        const QString old = b->name;
        Change(QStringLiteral("带区名称"), [old, name](TRMTemplate& t) {
            for (TRMBand& x : t.bands) {
                if (x.name == old)
                    x.name = name;
                if (x.master == old)
                    x.master = name;
            }
        });
        Select(name);
    });
    connect(m_bandHeight, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (!m_filling)
            EditSelectedBand(QStringLiteral("带区高度"), [v](TRMBand& b) { b.height = std::max(1.0, v); },
                             QStringLiteral("bandheight"));
    });
    connect(m_bandStretch, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling)
            EditSelectedBand(QStringLiteral("带区伸展"), [on](TRMBand& b) { b.stretch = on; });
    });
    connect(m_newPage, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling)
            EditSelectedBand(QStringLiteral("换页"), [on](TRMBand& b) { b.newPageAfter = on; });
    });
    connect(m_dataSet, &QComboBox::currentTextChanged, this, [this](const QString& s) {
        if (!m_filling)
            EditSelectedBand(QStringLiteral("数据集"), [s](TRMBand& b) { b.dataSet = s.trimmed(); }, QStringLiteral("dataset"));
    });
    connect(m_master, &QComboBox::currentTextChanged, this, [this](const QString& s) {
        if (!m_filling)
            EditSelectedBand(QStringLiteral("主项带区"), [s](TRMBand& b) { b.master = s; });
    });
    connect(m_masterFields, &QLineEdit::textEdited, this, [this](const QString& s) {
        EditSelectedBand(QStringLiteral("关联字段"), [s](TRMBand& b) { b.masterFields = s.trimmed(); }, QStringLiteral("mf"));
    });
    connect(m_detailFields, &QLineEdit::textEdited, this, [this](const QString& s) {
        EditSelectedBand(QStringLiteral("关联字段"), [s](TRMBand& b) { b.detailFields = s.trimmed(); }, QStringLiteral("df"));
    });
    return w;
}

void TRMDesignerForm::fillFieldList()
{
    m_fields->clear();
    for (TRMDBDataSet* link : m_report->DataSets()) {
        auto* top = new QTreeWidgetItem(m_fields, {link->Alias()});
        TPClientDataSet* ds = link->DataSet();
        for (int i = 0; ds && i < ds->FieldCount(); ++i) {
            const QString caption = link->CaptionOf(ds->Fields(i)->FieldName());
            auto* item = new QTreeWidgetItem(top, {caption});
            item->setData(0, Qt::UserRole, QStringLiteral("%1.\"%2\"").arg(link->Alias(), caption));
            item->setToolTip(0, ds->Fields(i)->FieldName());
        }
        top->setExpanded(true);
    }
    auto* vars = new QTreeWidgetItem(m_fields, {QStringLiteral("变量")});
    for (const auto& v : m_report->Variables())
        (new QTreeWidgetItem(vars, {v.first}))->setData(0, Qt::UserRole, v.first);
    for (const QString& s : TRMExpressions::SystemNames())
        (new QTreeWidgetItem(vars, {s}))->setData(0, Qt::UserRole, s);
    vars->setExpanded(true);
}

TRMObject* TRMDesignerForm::selectedObject()
{
    return m_canvas->SelectedObject().isEmpty() ? nullptr : m_doc.FindObject(m_canvas->SelectedObject());
}

TRMBand* TRMDesignerForm::selectedBand()
{
    return m_canvas->SelectedBand().isEmpty() ? nullptr : m_doc.FindBand(m_canvas->SelectedBand());
}

TRMBand* TRMDesignerForm::targetBand()
{
    if (TRMBand* b = selectedBand())
        return b;
    return m_doc.bands.empty() ? nullptr : &m_doc.bands.front();
}

void TRMDesignerForm::Select(const QString& band, const QString& object)
{
    m_canvas->SetSelection(band, object);
}

void TRMDesignerForm::Change(const QString& what, const std::function<void(TRMTemplate&)>& edit, const QString& mergeKey)
{
    TRMTemplate before = m_doc;
    edit(m_doc);
    if (m_doc == before)
        return;
    const QString key = mergeKey.isEmpty() ? QString() : mergeKey + u'/' + m_canvas->SelectedBand() + u'/' + m_canvas->SelectedObject();
    m_undo->push(new TRMTemplateCommand(what, std::move(before), m_doc, key, [this](const TRMTemplate& t) { Restore(t); }));
    m_canvas->Relayout();
    refreshUnknown();
}

void TRMDesignerForm::EditSelectedObject(const QString& what, const std::function<void(TRMObject&)>& edit,
                                         const QString& mergeKey)
{
    const QString name = m_canvas->SelectedObject();
    if (name.isEmpty())
        return;
    Change(what, [&](TRMTemplate& t) {
        if (TRMObject* o = t.FindObject(name))
            edit(*o);
    }, mergeKey);
}

void TRMDesignerForm::EditSelectedBand(const QString& what, const std::function<void(TRMBand&)>& edit,
                                       const QString& mergeKey)
{
    const QString name = m_canvas->SelectedBand();
    if (name.isEmpty() || !m_canvas->SelectedObject().isEmpty())
        return;
    Change(what, [&](TRMTemplate& t) {
        if (TRMBand* b = t.FindBand(name))
            edit(*b);
    }, mergeKey);
}

void TRMDesignerForm::AddBand(TRMBandType type)
{
    TRMBand band;
    band.type = type;
    band.name = m_doc.UniqueName(RMBandTypeName(type).left(1).toUpper() + RMBandTypeName(type).mid(1));
    band.height = type == TRMBandType::MasterData || type == TRMBandType::DetailData ? 8 : 12;
    // Detail bands and their header and footer belong to the nearest master above.
    if (type == TRMBandType::DetailData || type == TRMBandType::DetailHeader || type == TRMBandType::DetailFooter)
        for (const TRMBand& b : m_doc.bands)
            if (b.type == TRMBandType::MasterData)
                band.master = b.name;
    if (band.IsData() && !m_report->DataSets().isEmpty())
        band.dataSet = m_report->DataSets().constFirst()->Alias();
    Change(QStringLiteral("添加带区"), [&band](TRMTemplate& t) {
        t.bands.push_back(band);
        t.SortBands();
    });
    Select(band.name);
}

void TRMDesignerForm::AddObject(TRMObjectKind kind)
{
    TRMBand* band = targetBand();
    if (!band) {
        KxShowError(QStringLiteral("请先添加带区！"));
        return;
    }
    TRMObject o;
    o.kind = kind;
    o.name = m_doc.UniqueName(QString::fromUtf16(kObjectPrefixes[int(kind)]));
    o.rect = QRectF(2, 1, 40, std::min(6.0, std::max(1.0, band->height - 1)));
    switch (kind) {
    case TRMObjectKind::Memo: o.text = QStringLiteral("文本"); break;
    case TRMObjectKind::AngledLabel:
        o.text = QStringLiteral("文本");
        o.angle = 90;
        o.rect.setSize(QSizeF(8, std::max(1.0, band->height - 2)));
        o.align = Qt::AlignCenter;
        break;
    case TRMObjectKind::BarCode: o.text = QStringLiteral("123456"); o.rect.setHeight(std::max(1.0, band->height - 2)); break;
    case TRMObjectKind::Picture: o.rect.setSize(QSizeF(20, std::max(1.0, band->height - 2))); break;
    }
    const QString bandName = band->name;
    Change(QStringLiteral("添加对象"), [&](TRMTemplate& t) { t.FindBand(bandName)->objects.push_back(o); });
    Select(bandName, o.name);
}

void TRMDesignerForm::DeleteSelection()
{
    const QString band = m_canvas->SelectedBand(), object = m_canvas->SelectedObject();
    if (band.isEmpty())
        return;
    Change(QStringLiteral("删除"), [&](TRMTemplate& t) {
        if (!object.isEmpty()) {
            for (TRMBand& b : t.bands)
                std::erase_if(b.objects, [&](const TRMObject& o) { return o.name == object; });
        } else {
            std::erase_if(t.bands, [&](const TRMBand& b) { return b.name == band; });
        }
    });
    Select(object.isEmpty() ? QString() : band);
}

void TRMDesignerForm::InsertExpression(const QString& expression)
{
    const QString part = u'[' + expression + u']';
    if (TRMObject* o = selectedObject(); o && o->kind != TRMObjectKind::Picture) {
        EditSelectedObject(QStringLiteral("插入字段"), [&](TRMObject& x) { x.text += part; });
        refreshPanel();
        return;
    }
    TRMBand* band = targetBand();
    if (!band) {
        KxShowError(QStringLiteral("请先添加带区！"));
        return;
    }
    // A new memo to the right of what the band holds.
    double x = 2;
    for (const TRMObject& o : band->objects)
        x = std::max(x, o.rect.right() + 1);
    TRMObject o;
    o.name = m_doc.UniqueName(QStringLiteral("Memo"));
    o.text = part;
    o.rect = QRectF(x, 1, 35, std::min(6.0, std::max(1.0, band->height - 1)));
    const QString bandName = band->name;
    Change(QStringLiteral("插入字段"), [&](TRMTemplate& t) { t.FindBand(bandName)->objects.push_back(o); });
    Select(bandName, o.name);
}

void TRMDesignerForm::PageSetup()
{
    TRMPageSetupForm form(m_doc.page, this);
    if (KxUi().ShowModal(&form) != mrOk)
        return;
    const TRMPageSetup page = form.Page();
    Change(QStringLiteral("页面设置"), [&](TRMTemplate& t) { t.page = page; });
}

void TRMDesignerForm::ChooseFont()
{
    TRMObject* o = selectedObject();
    if (!o || o->kind == TRMObjectKind::Picture)
        return;
    QFontDialog dlg(RMObjectFont(*o), this);
    if (KxUi().ShowModal(&dlg) != mrOk)
        return;
    const QFont f = dlg.selectedFont();
    EditSelectedObject(QStringLiteral("字体"), [&f](TRMObject& x) {
        x.fontFamily = f.family();
        x.fontSize = f.pointSizeF() > 0 ? f.pointSizeF() : x.fontSize;
        x.bold = f.bold();
        x.italic = f.italic();
        x.underline = f.underline();
    });
    refreshPanel();
}

void TRMDesignerForm::Preview()
{
    TRMEngineInput in;
    in.tmpl = &m_doc;
    in.dataSets = m_report->DataSets();
    in.variables = m_report->Variables();
    in.templateDir = m_report->FileName().isEmpty() ? QString() : QFileInfo(m_report->FileName()).absolutePath();
    TRMPreviewForm preview(RMPrepare(in), nullptr, this);
    KxUi().ShowModal(&preview);
}

bool TRMDesignerForm::Save()
{
    const TRMTemplate previous = m_report->Template();
    m_report->Template() = m_doc;
    if (!m_report->RunSaveHandler()) {
        m_report->Template() = previous;
        return false;
    }
    m_saved = true;
    m_undo->setClean();
    return true;
}

QStringList TRMDesignerForm::UnknownNames() const
{
    TRMExpressions expr(m_report->DataSets(), m_report->Variables());
    for (const TRMBand& b : m_doc.bands) {
        if (b.IsData() && !b.dataSet.isEmpty() && expr.LinkIndex(b.dataSet) < 0)
            expr.AddUnknown(b.dataSet);
        for (const TRMObject& o : b.objects)
            if (o.kind != TRMObjectKind::Picture)
                expr.Evaluate(o.text);
    }
    return expr.Unknown();
}

void TRMDesignerForm::Restore(const TRMTemplate& doc)
{
    m_doc = doc;
    if (!m_canvas->SelectedObject().isEmpty() && !m_doc.FindObject(m_canvas->SelectedObject()))
        Select(QString());
    else if (!m_canvas->SelectedBand().isEmpty() && !m_doc.FindBand(m_canvas->SelectedBand()))
        Select(QString());
    m_canvas->Relayout();
    refreshPanel();
    refreshUnknown();
}

void TRMDesignerForm::refreshPanel()
{
    m_filling = true;
    if (TRMObject* o = selectedObject()) {
        m_panel->setCurrentIndex(1);
        m_objName->setText(o->name);
        if (m_text->toPlainText() != o->text)
            m_text->setPlainText(o->text);
        m_x->setValue(o->rect.x());
        m_y->setValue(o->rect.y());
        m_w->setValue(o->rect.width());
        m_h->setValue(o->rect.height());
        m_fontLabel->setText(QStringLiteral("%1 %2pt").arg(o->fontFamily).arg(o->fontSize));
        m_halign->setCurrentIndex((o->align & Qt::AlignHCenter) ? 1 : (o->align & Qt::AlignRight) ? 2 : 0);
        m_valign->setCurrentIndex((o->align & Qt::AlignTop) ? 0 : (o->align & Qt::AlignBottom) ? 2 : 1);
        m_wrap->setChecked(o->wordWrap);
        m_stretch->setChecked(o->stretch);
        for (int i = 0; i < 4; ++i)
            m_frame[i]->setChecked(o->frame & (1 << i));
        m_frameWidth->setValue(o->frameWidth);
        m_angle->setValue(o->angle);
        m_symbology->setCurrentIndex(int(o->barcode));
        m_showText->setChecked(o->showText);
    } else if (TRMBand* b = selectedBand()) {
        m_panel->setCurrentIndex(2);
        m_bandType->setText(RMBandTypeCaption(b->type));
        m_bandName->setText(b->name);
        m_bandHeight->setValue(b->height);
        m_bandStretch->setChecked(b->stretch);
        m_newPage->setChecked(b->newPageAfter);
        m_dataSet->clear();
        for (TRMDBDataSet* l : m_report->DataSets())
            m_dataSet->addItem(l->Alias());
        m_dataSet->setCurrentText(b->dataSet);
        m_dataSet->setEnabled(b->IsData());
        m_master->clear();
        m_master->addItem(QString());
        for (const TRMBand& x : m_doc.bands)
            if (x.type == TRMBandType::MasterData)
                m_master->addItem(x.name);
        m_master->setCurrentText(b->master);
        const bool detail = b->type == TRMBandType::DetailData || b->type == TRMBandType::DetailHeader
                            || b->type == TRMBandType::DetailFooter;
        m_master->setEnabled(detail);
        m_masterFields->setText(b->masterFields);
        m_detailFields->setText(b->detailFields);
        m_masterFields->setEnabled(b->type == TRMBandType::DetailData);
        m_detailFields->setEnabled(b->type == TRMBandType::DetailData);
    } else {
        m_panel->setCurrentIndex(0);
    }
    m_filling = false;
}

void TRMDesignerForm::refreshUnknown()
{
    m_unknown->clear();
    m_unknown->addItems(UnknownNames());
}

void TRMDesignerForm::reject()
{
    if (!m_undo->isClean()) {
        const int answer = KxUi().MessageBox(QStringLiteral("系统提示"), QStringLiteral("报表已修改，是否保存？"),
                                             TMsgIcon::Question, mbYes | mbNo | mbCancel);
        if (answer == mrCancel || (answer == mrYes && !Save()))
            return;
    }
    done(m_saved ? mrOk : mrCancel);
}
