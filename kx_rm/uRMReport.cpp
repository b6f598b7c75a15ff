#include "uRMReport.h"
#include "uRMDataSet.h"
#include "uRMDesigner.h"
#include "uRMEngine.h"
#include "uRMPreview.h"
#include "uUiHooks.h"

#include <QFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

TRMReport::TRMReport(QObject* owner) : QObject(owner) {}

TRMReport::~TRMReport() = default;

void TRMReport::Clear()
{
    m_template = TRMTemplate();
    m_prepared.reset();
}

bool TRMReport::LoadFromStream(QIODevice* stream)
{
    QString error;
    TRMTemplate t;
    if (!t.FromXml(stream->readAll(), &error)) {
        m_error = error;
        return false;
    }
    m_template = std::move(t);
    m_prepared.reset();
    return true;
}

bool TRMReport::SaveToStream(QIODevice* stream)
{
    const QByteArray xml = m_template.ToXml();
    if (stream->write(xml) != xml.size()) {
        m_error = stream->errorString();
        return false;
    }
    return true;
}

bool TRMReport::LoadFromFile(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("无法打开报表文件：%1").arg(fileName);
        return false;
    }
    if (!LoadFromStream(&f)) {
        m_error = QStringLiteral("报表文件已损坏或不是报表模板：%1\n%2").arg(QFileInfo(fileName).fileName(), m_error);
        return false;
    }
    m_fileName = fileName;
    return true;
}

bool TRMReport::SaveToFile(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || !SaveToStream(&f) || !f.flush()) {
        m_error = QStringLiteral("无法保存报表文件：%1").arg(fileName);
        return false;
    }
    m_fileName = fileName;
    return true;
}

void TRMReport::AddDataSet(TRMDBDataSet* link)
{
    m_links.append(link);
}

void TRMReport::ClearDataSets()
{
    m_links.clear();
}

QList<TRMDBDataSet*> TRMReport::DataSets() const
{
    QList<TRMDBDataSet*> out;
    for (const auto& l : m_links)
        if (l)
            out.append(l);
    return out;
}

void TRMReport::SetVariable(const QString& name, const QVariant& value)
{
    for (auto& v : m_variables)
        if (v.first == name) {
            v.second = value;
            return;
        }
    m_variables.append({name, value});
}

bool TRMReport::PrepareReport()
{
    TRMEngineInput in;
    in.tmpl = &m_template;
    in.dataSets = DataSets();
    in.variables = m_variables;
    in.templateDir = m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).absolutePath();
    m_prepared = RMPrepare(in);
    return !m_prepared->pages.empty();
}

bool TRMReport::ShowReport()
{
    if (!PrepareReport())
        return false;
    TRMPreviewForm preview(m_prepared, [this] { PrintPrepared(); });
    KxUi().ShowModal(&preview);
    return true;
}

bool TRMReport::PrintReport()
{
    return PrepareReport() && PrintPrepared();
}

bool TRMReport::PrintPrepared()
{
    if (!m_prepared)
        return false;
    QPrinter printer(QPrinter::HighResolution);
    RMSetupPrinter(m_prepared->tmpl.page, &printer);
    QPrintDialog dialog(&printer);
    dialog.setMinMax(1, int(m_prepared->pages.size()));
    if (KxUi().ShowModal(&dialog) != mrOk)
        return false;
    RMPrint(*m_prepared, &printer);
    return true;
}

bool TRMReport::ExportPdf(const QString& fileName)
{
    return PrepareReport() && RMExportPdf(*m_prepared, fileName, &m_error);
}

bool TRMReport::DesignReport()
{
    TRMDesignerForm designer(this);
    const int result = KxUi().ShowModal(&designer);
    return result == mrOk || designer.Saved();
}
