#include "uKXReport.h"
#include "uRMDataSet.h"
#include "uRMReportEx.h"
#include "uUiHooks.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace {

std::function<Qt::KeyboardModifiers()>& modifiersHook()
{
    static std::function<Qt::KeyboardModifiers()> hook;
    return hook;
}

} // namespace

void KxRegisterReportEngine()
{
    KxSetReportFactory([] { return std::unique_ptr<IKXReportEx>(new TKXReport); });
}

void KxSetKeyboardModifiersHook(std::function<Qt::KeyboardModifiers()> hook)
{
    modifiersHook() = std::move(hook);
}

TKXReport::TKXReport(QObject* owner) : QObject(owner), m_report(new TRMReportEx(this))
{
    m_report->SetSaveHandler([this] {
        if (m_report->SaveToFile(m_fileName))
            return true;
        KxShowError(m_report->LastError());
        return false;
    });
}

TKXReport::~TKXReport()
{
    VariablesClear();
    RMDataSetClear();
}

void TKXReport::AddVariables(const QString& name, const QVariant& value)
{
    m_report->SetVariable(name, value);
}

void TKXReport::VariablesClear()
{
    m_report->ClearVariables();
}

void TKXReport::AddCDataSet(TPClientDataSet* dataSet, const QString& alias, const QString& labels)
{
    auto* link = new TRMDBDataSet(this);
    link->setObjectName(QStringLiteral("RMDataSet%1").arg(m_links.size() + 1));
    link->SetDataSet(dataSet);
    link->SetAlias(alias);
    link->SetFieldLabels(QString(labels).replace(u';', u'\n').split(u'\n'));
    m_links.append(link);
    m_report->AddDataSet(link);
}

void TKXReport::RMDataSetClear()
{
    for (TRMDBDataSet*& link : m_links) {
        delete link;
        link = nullptr;
    }
    m_report->ClearDataSets();
}

bool TKXReport::ctrlHeld() const
{
    const Qt::KeyboardModifiers m = modifiersHook() ? modifiersHook()() : QGuiApplication::queryKeyboardModifiers();
    return m.testFlag(Qt::ControlModifier);
}

// Reads the template when its file exists. A file that cannot be read is reported; the
// report then stays as it was.
bool TKXReport::loadIfPresent(bool* present)
{
    *present = !m_fileName.isEmpty() && QFileInfo(m_fileName).isFile();
    if (*present && !m_report->LoadFromFile(m_fileName)) {
        KxShowError(m_report->LastError());
        return false;
    }
    return true;
}

bool TKXReport::DesignReport()
{
    if (m_fileName.isEmpty())
        return false;
    bool present = false;
    if (!loadIfPresent(&present))
        return false;
    if (!present)
        m_report->Clear();
    if (!m_report->DesignReportEx())
        return false;
    return m_report->SaveToFile(m_fileName) || (KxShowError(m_report->LastError()), false);
}

bool TKXReport::PreviewReport()
{
    if (ctrlHeld())
        return DesignReport();
    bool present = false;
    if (!loadIfPresent(&present) || !present)
        return false;
    return m_report->PreviewReportEx();
}

bool TKXReport::PrintReport()
{
    if (ctrlHeld())
        return DesignReport();
    bool present = false;
    if (!loadIfPresent(&present) || !present)
        return false;
    return m_report->PrintReportEx();
}
