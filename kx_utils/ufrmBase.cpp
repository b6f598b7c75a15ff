#include "ufrmBase.h"
#include "uLocalFiles.h"
#include "uCallModule.h"
#include "uUiHooks.h"
#include "wire/uConfig.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLayout>
#include <pugixml.hpp>

namespace {

TKxReportFactory& reportFactory()
{
    static TKxReportFactory factory;
    return factory;
}

} // namespace

bool TKxModuleParams::Parse(const QString& xml)
{
    m_items.clear();
    const QByteArray utf8 = xml.toUtf8();
    pugi::xml_document doc;
    // Default options: no DOCTYPE processing, only the five predefined entities.
    if (!doc.load_buffer(utf8.constData(), size_t(utf8.size()), pugi::parse_default, pugi::encoding_utf8))
        return false;
    const pugi::xml_node root = doc.document_element();
    for (pugi::xml_node e = root.first_child(); e; e = e.next_sibling()) {
        if (e.type() != pugi::node_element)
            continue;
        QByteArray text;
        for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
                text += c.value();
        m_items.push_back({QString::fromUtf8(e.name()), QString::fromUtf8(text)});
    }
    return true;
}

QString TKxModuleParams::GetParam(const QString& name) const
{
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
        if (it->Key == name)
            return it->Value;
    return QString();
}

bool TKxModuleParams::GetPower(const QString& right) const
{
    return GetParam(QStringLiteral("modulepower")).contains(right + QStringLiteral("=True;"));
}

bool TKxModuleParams::IsModal() const
{
    return GetParam(QStringLiteral("modal")) == u"true";
}

void KxSetReportFactory(TKxReportFactory factory)
{
    reportFactory() = std::move(factory);
}

void TKxReportHolder::AddVariables(const QString& name, const QVariant& value)
{
    for (auto& v : variables)
        if (v.first == name) {
            v.second = value;
            return;
        }
    variables.append({name, value});
}

void TKxReportHolder::AddCDataSet(TPClientDataSet* dataSet, const QString& alias, const QString& labels)
{
    links.append({dataSet, alias, QString(labels).replace(u';', u'\n').split(u'\n', Qt::SkipEmptyParts)});
}

bool KxIsPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == u"." || name.contains(u".."))
        return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 32)
            return false;
    return true;
}

QString KxProgramDir()
{
    const QString dir = QCoreApplication::applicationDirPath();
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

// ---------------------------------------------------------------------------------------

TfrmBase::TfrmBase(QWidget* owner) : QWidget(owner, Qt::Window)
{
    m_resultStream.setBuffer(&m_resultBytes);
    m_resultStream.open(QIODevice::ReadWrite);
}

TfrmBase::~TfrmBase() = default;

void TfrmBase::InitModule(const QString& xml)
{
    m_params.Parse(xml);
    setWindowTitle(GetParam(QStringLiteral("moduletitle")));
}

int TfrmBase::ShowModule()
{
    if (IsModal()) {
        setProperty("modalResult", int(mrNone));
        return KxUi().ShowModal(this);
    }
    show();
    return -1;
}

void TfrmBase::DockInto(QWidget* host)
{
    setParent(host, Qt::Widget);
    setGeometry(host->rect());
    if (host->layout())
        host->layout()->addWidget(this);
}

void TfrmBase::SetModalResult(int result)
{
    setProperty("modalResult", result);
    close();
}

int TfrmBase::ModalResult() const
{
    return property("modalResult").toInt();
}

void TfrmBase::closeEvent(QCloseEvent* event)
{
    FormClose(event);
    if (event->isAccepted())
        DoClose(event);
}

void TfrmBase::DoClose(QCloseEvent*)
{
    // A window closed by its own frame button ends as "cancel".
    if (ModalResult() == mrNone)
        setProperty("modalResult", int(mrCancel));
    // Tab modules free themselves; the main window then drops the empty tab.
    if (!IsModal())
        setAttribute(Qt::WA_DeleteOnClose);
}

IKXReportEx* TfrmBase::GetReportEx()
{
    if (!m_report) {
        if (reportFactory())
            m_report = reportFactory()();
        if (!m_report)
            m_report = std::make_unique<TKxReportHolder>();
    }
    return m_report.get();
}

void TfrmBase::SetRePortFile(const QString& name)
{
    IKXReportEx* r = GetReportEx();
    r->VariablesClear();
    r->RMDataSetClear();
    r->AddVariables(QStringLiteral("门店编码"), gShopId);
    r->AddVariables(QStringLiteral("门店名称"), gShopName);
    r->AddVariables(QStringLiteral("操作员编码"), gOperId);
    r->AddVariables(QStringLiteral("操作员名称"), gOperName);
    // The name comes from the service: a path in it must not reach outside rmf/.
    r->SetFileName(KxIsPlainFileName(name) ? KxUserFile(QStringLiteral("rmf/") + name) : QString());
}

// ---------------------------------------------------------------------------------------

TmedBase::TmedBase(QObject* owner) : QObject(owner)
{
    m_resultStream.setBuffer(&m_resultBytes);
    m_resultStream.open(QIODevice::ReadWrite);
}

void TmedBase::InitModule(const QString& xml)
{
    m_params.Parse(xml);
}

KX_REGISTER_CLASS(TmedBase)
