#include "uFrmSearch.h"
#include "uLocalFiles.h"

#include "uFrmSearchEdit.h"
#include "uIKXDesign.h"
#include "uLocalXml.h"
#include "uModuleMger.h"
#include "uTPanelStage.h"
#include "uUiHooks.h"
#include "ufrmBase.h"

#include <QDir>
#include <QDomDocument>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kStateIconRole = Qt::UserRole + 1;

QString dialogElement(const QString& title)
{
    return KxEncodeXmlName(QStringLiteral("MN_") + title);
}

QString schemeElement(const QString& name)
{
    return KxEncodeXmlName(QStringLiteral("SN_") + name);
}

} // namespace

QString KxSearchDefFile()
{
    return KxUserFile(QStringLiteral("SearchDef.xml"));
}

TFrmSearch::TFrmSearch(QWidget* parent) : QDialog(parent)
{
    m_condStream.setBuffer(&m_condBytes);
    m_condStream.open(QIODevice::ReadWrite);

    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* tools = new QHBoxLayout;
    auto tool = [&](const QString& text, void (TFrmSearch::*slot)()) {
        auto* b = new QToolButton(this);
        b->setText(text);
        connect(b, &QToolButton::clicked, this, slot);
        tools->addWidget(b);
    };
    tool(QStringLiteral("新建"), &TFrmSearch::btnNewClick);
    tool(QStringLiteral("编辑"), &TFrmSearch::btnEditClick);
    tool(QStringLiteral("保存"), &TFrmSearch::btnSaveClick);
    tool(QStringLiteral("删除"), &TFrmSearch::btnDeleteClick);
    left->addLayout(tools);
    m_schemes = new QListWidget(this);
    m_schemes->setViewMode(QListView::IconMode);
    m_schemes->setIconSize(QSize(32, 32));
    m_schemes->setMovement(QListView::Static);
    m_schemes->setFixedWidth(140);
    left->addWidget(m_schemes, 1);
    top->addLayout(left);

    auto* right = new QVBoxLayout;
    auto* tabs = new QTabWidget(this);
    m_stage = new TPanelStage(tabs);
    tabs->addTab(m_stage, QStringLiteral("条 件"));
    right->addWidget(tabs, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    auto* cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    right->addLayout(buttons);
    top->addLayout(right, 1);
    connect(ok, &QPushButton::clicked, this, &TFrmSearch::btnOkClick);
    connect(cancel, &QPushButton::clicked, this, &TFrmSearch::btnCancelClick);
    connect(m_schemes, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { LoadScheme(item->text()); });
}

bool TFrmSearch::InitSearch(const QString& searchFile)
{
    TModuleMger mger;
    if (!mger.LoadFromString(searchFile)) {
        KxShowError(mger.LastError());
        return false;
    }
    if (!m_stage->LoadFromStream(mger.ModuleStream())) {
        KxShowError(m_stage->LastError());
        return false;
    }
    m_stage->setMinimumSize(mger.Width, mger.Height);
    resize(mger.Width + 120 + m_schemes->width(), mger.Height + 100);
    for (IKXDesign* c : DesignControls())
        c->KXInit();
    return true;
}

void TFrmSearch::SetTitle(const QString& title)
{
    m_title = title;
    setWindowTitle(title);
}

QList<IKXDesign*> TFrmSearch::DesignControls() const
{
    return m_stage->DesignControls();
}

QStringList TFrmSearch::Conditions() const
{
    QStringList lines;
    for (const IKXDesign* c : DesignControls()) {
        const QString name = c->KXGetName().trimmed(), value = c->KXGetValue().trimmed();
        if (!name.isEmpty() && !value.isEmpty())
            lines << name + u'=' + value;
    }
    return lines;
}

void TFrmSearch::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    fillSchemes();
    LoadScheme(DefaultScheme());
}

QListWidgetItem* TFrmSearch::addEntry(const QString& name)
{
    auto* item = new QListWidgetItem(style()->standardIcon(QStyle::SP_FileDialogDetailedView), name.left(100), m_schemes);
    item->setData(kStateIconRole, 1);
    return item;
}

QListWidgetItem* TFrmSearch::chosenEntry() const
{
    QListWidgetItem* entry = m_schemes->currentItem();
    return entry && entry->isSelected() ? entry : nullptr;
}

void TFrmSearch::fillSchemes()
{
    m_schemes->clear();
    auto* entry0 = new QListWidgetItem(style()->standardIcon(QStyle::SP_FileDialogInfoView), DefaultScheme(), m_schemes);
    entry0->setData(kStateIconRole, 0);
    QDomDocument doc;
    QString error;
    if (!KxLoadLocalXml(KxSearchDefFile(), &doc, &error)) {
        KxShowError(error);
        return;
    }
    const QDomElement dialog = doc.documentElement().firstChildElement(dialogElement(m_title));
    const QString defaultElement = schemeElement(DefaultScheme());
    for (QDomElement s = dialog.firstChildElement(); !s.isNull(); s = s.nextSiblingElement()) {
        const QString name = KxDecodeXmlName(s.tagName());
        if (s.tagName() != defaultElement && name.startsWith(QStringLiteral("SN_")))
            addEntry(name.mid(3));
    }
}

void TFrmSearch::LoadScheme(const QString& name)
{
    if (!QFileInfo::exists(KxSearchDefFile()))
        return;
    QDomDocument doc;
    QString error;
    if (!KxLoadLocalXml(KxSearchDefFile(), &doc, &error)) {
        KxShowError(error);
        return;
    }
    const QDomElement scheme =
        doc.documentElement().firstChildElement(dialogElement(m_title)).firstChildElement(schemeElement(name));
    for (IKXDesign* c : DesignControls()) {
        const QString control = c->KXGetName().trimmed();
        if (scheme.isNull()) {
            c->KXSetValue(QString());
            continue;
        }
        if (control.isEmpty())
            continue;
        const QDomElement value = scheme.firstChildElement(KxEncodeXmlName(control));
        c->KXSetValue(value.isNull() ? QString() : value.text());
    }
}

bool TFrmSearch::StoreScheme(const QString& name)
{
    QDomDocument doc;
    QString error;
    if (!KxLoadLocalXml(KxSearchDefFile(), &doc, &error)) {
        KxShowError(error);
        return false;
    }
    if (doc.documentElement().isNull())
        doc.appendChild(doc.createElement(QStringLiteral("Root")));
    QDomElement root = doc.documentElement();
    auto child = [&doc](QDomElement parent, const QString& tag) {
        QDomElement e = parent.firstChildElement(tag);
        return e.isNull() ? parent.appendChild(doc.createElement(tag)).toElement() : e;
    };
    QDomElement scheme = child(child(root, dialogElement(m_title)), schemeElement(name));
    for (const IKXDesign* c : DesignControls()) {
        const QString control = c->KXGetName().trimmed();
        if (control.isEmpty())
            continue;
        QDomElement value = child(scheme, KxEncodeXmlName(control));
        while (value.hasChildNodes())
            value.removeChild(value.firstChild());
        value.appendChild(doc.createTextNode(c->KXGetValue()));
    }
    if (!KxSaveLocalXml(KxSearchDefFile(), doc, &error)) {
        KxShowError(error);
        return false;
    }
    return true;
}

bool TFrmSearch::DeleteScheme(const QString& name)
{
    if (!QFileInfo::exists(KxSearchDefFile()))
        return true;
    QDomDocument doc;
    QString error;
    if (!KxLoadLocalXml(KxSearchDefFile(), &doc, &error)) {
        KxShowError(error);
        return false;
    }
    QDomElement dialog = doc.documentElement().firstChildElement(dialogElement(m_title));
    if (!dialog.isNull()) {
        const QDomElement scheme = dialog.firstChildElement(schemeElement(name));
        if (!scheme.isNull())
            dialog.removeChild(scheme);
    }
    if (!KxSaveLocalXml(KxSearchDefFile(), doc, &error)) {
        KxShowError(error);
        return false;
    }
    return true;
}

QString TFrmSearch::askName()
{
    TFrmSearchEdit edit(this);
    if (KxUi().ShowModal(&edit) != mrOk)
        return QString();
    return edit.SchemeName();
}

void TFrmSearch::btnNewClick()
{
    const QString name = askName();
    if (name.isEmpty())
        return;
    QListWidgetItem* entry = nullptr;
    for (int i = 0; i < m_schemes->count() && !entry; ++i)
        if (m_schemes->item(i)->text() == name)
            entry = m_schemes->item(i);
    if (!entry)
        entry = addEntry(name);
    StoreScheme(name);
    m_schemes->setCurrentItem(entry);
}

void TFrmSearch::btnEditClick()
{
    QListWidgetItem* entry = chosenEntry();
    if (!entry || m_schemes->row(entry) == 0)
        return;
    const QString name = askName();
    if (name.isEmpty())
        return;
    // The scheme under the old name stays in the file.
    entry->setText(name.left(100));
    StoreScheme(name);
}

void TFrmSearch::btnSaveClick()
{
    QListWidgetItem* entry = chosenEntry();
    if (!entry) {
        KxShowError(QStringLiteral("请选择需要保存的方案!"));
        return;
    }
    const QString name = entry->text().trimmed();
    if (KxAskYesNo(QStringLiteral("真的保存此【") + name + QStringLiteral("】查询方案吗?")))
        StoreScheme(name);
}

void TFrmSearch::btnDeleteClick()
{
    QListWidgetItem* entry = chosenEntry();
    if (!entry || m_schemes->row(entry) == 0)
        return;
    const QString name = entry->text();
    if (!KxAskYesNo(QStringLiteral("真的删除此【") + name + QStringLiteral("】查询方案吗?")))
        return;
    if (!DeleteScheme(name))
        return;
    delete entry;
    m_schemes->clearSelection();
    m_schemes->setCurrentItem(nullptr);
}

void TFrmSearch::btnOkClick()
{
    m_condBytes.clear();
    m_condStream.seek(0);
    for (const QString& line : Conditions())
        m_condStream.write((line + QStringLiteral("\r\n")).toUtf8());
    m_condStream.seek(0);
    done(mrOk);
}

void TFrmSearch::btnCancelClick()
{
    done(mrCancel);
}
