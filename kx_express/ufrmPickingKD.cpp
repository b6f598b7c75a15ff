#include "ufrmPickingKD.h"

#include "uCallModule.h"
#include "uExpressFiles.h"
#include "uHttpWeb.h"
#include "uKXReport.h"
#include "uPClientDataSet.h"
#include "uRMReportEx.h"
#include "uUiHooks.h"

#include <QComboBox>
#include <QPointer>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TfrmPickingKD::TfrmPickingKD(QWidget* owner) : TfrmPickingPrint(owner), m_template(new QComboBox(this)), m_templates(new TPClientDataSet(this))
{
    setWindowTitle(QStringLiteral("打印快递单"));
    QGridLayout* grid = SenderGrid();
    grid->addWidget(new QLabel(QStringLiteral("选择快递模板："), this), 1, 0);
    grid->addWidget(m_template, 1, 1);
    auto* editTemplate = new QPushButton(QStringLiteral("编辑快递模板"), this);
    grid->addWidget(editTemplate, 1, 2);
    auto* print = new QPushButton(QStringLiteral("打印快递"), this);
    auto* send = new QPushButton(QStringLiteral("批量设置物流公司和运单号"), this);
    grid->addWidget(print, 2, 0);
    grid->addWidget(send, 2, 1);
    grid->addWidget(ExitButton(), 2, 2);
    connect(editTemplate, &QPushButton::clicked, this, [this] { btnTemplateClick(); });
    connect(print, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(send, &QPushButton::clicked, this, [this] { btnSendClick(); });
}

void TfrmPickingKD::InitModule(const QString& xml)
{
    TfrmPickingPrint::InitModule(xml);
    LoadTemplates();
}

void TfrmPickingKD::LoadTemplates()
{
    const QString chosen = m_template->currentData().toString();
    m_template->clear();
    THttpWeb web;
    web.setModule(method("express", "Express.Search"));
    web.Request()->AddParams(QStringLiteral("is_use"), QStringLiteral("1"));
    if (!web.SendData() || !m_templates->SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return;
    const TField* name = m_templates->FindField(QStringLiteral("express_name"));
    const TField* file = m_templates->FindField(QStringLiteral("express_file"));
    if (!name || !file)
        return;
    for (m_templates->First(); !m_templates->Eof(); m_templates->Next())
        m_template->addItem(name->AsString(), file->AsString());
    m_template->setCurrentIndex(chosen.isEmpty() ? 0 : qMax(0, m_template->findData(chosen)));
}

void TfrmPickingKD::btnTemplateClick()
{
    TfrmBase* module = CallModule(this, QStringLiteral("Express.Module"));
    if (!module)
        return;
    SetSenderVariables();
    // A window that frees itself on closing may be gone already.
    const QPointer<TfrmBase> window(module);
    KxUi().ShowModal(module);
    delete window.data();
    LoadTemplates();
}

QString TfrmPickingKD::ReportFile()
{
    const QString stem = m_template->currentData().toString();
    if (stem.isEmpty())
        return QString();
    QByteArray bytes;
    switch (KxFetchExpressFile(method("file", "Express.FileGet"), stem, QStringLiteral("ref"), &bytes)) {
    case TExpressFetch::Found:
        return KxExpressPath(stem, QStringLiteral("ref"));
    case TExpressFetch::Missing:
        KxShowError(QStringLiteral("快递模板【%1】还没有打印格式，请先在快递模板管理中保存该模板").arg(stem));
        return QString();
    case TExpressFetch::Failed:
        break;
    }
    return QString();
}

bool TfrmPickingKD::prepare()
{
    const QString file = ReportFile();
    if (file.isEmpty())
        return false;
    Report()->SetFileName(file);
    SetSenderVariables();
    return true;
}

void TfrmPickingKD::btnPrintClick()
{
    if (prepare())
        Report()->PreviewReport();
}

bool TfrmPickingKD::PrintToPdf(const QString& fileName)
{
    return prepare() && ExportPdf(fileName, QStringLiteral("没有可打印的快递单"));
}

void TfrmPickingKD::btnSendClick()
{
    if (m_handOver) {
        m_handOver();
        return;
    }
    TfrmBase* module = CallModule(this, QStringLiteral("PickingSend.Module"));
    if (!module)
        return;
    // The shipping dialog takes the pickings being printed; their new numbers are read back
    // before the next print.
    QStringList ids;
    if (TPClientDataSet* headers = Headers()) {
        const TField* id = headers->FieldByName(QStringLiteral("pickingid"));
        for (int r = 0; id && r < headers->RecordCount(); ++r)
            ids << headers->DisplayTextAt(r, id).trimmed();
    }
    if (!ids.isEmpty())
        module->FixedConditions() << QStringLiteral("pickingid=") + ids.join(u',');
    // A window that frees itself on closing may be gone already.
    const QPointer<TfrmBase> window(module);
    KxUi().ShowModal(module);
    delete window.data();
    if (!ids.isEmpty()) {
        TPClientDataSet* lines = Lines();
        LoadPickings(ids);
        if (!Lines() && lines && lines->Active())
            SetPickings(Headers(), lines);
    }
}

KX_REGISTER_CLASS(TfrmPickingKD)
