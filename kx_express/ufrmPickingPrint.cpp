#include "ufrmPickingPrint.h"

#include "uCallModule.h"
#include "uExpressLayout.h"
#include "uHttpWeb.h"
#include "uKXReport.h"
#include "uPClientDataSet.h"
#include "uRMReportEx.h"
#include "uUiHooks.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QPointer>

TfrmPickingPrint::TfrmPickingPrint(QWidget* owner)
    : TfrmBase(owner), m_sender(new QComboBox(this)), m_report(new TKXReport(this)), m_senders(new TPClientDataSet(this)),
      m_ownHeaders(new TPClientDataSet(this)), m_ownLines(new TPClientDataSet(this))
{
}

TfrmPickingPrint::~TfrmPickingPrint()
{
    m_report->VariablesClear();
    m_report->RMDataSetClear();
}

QString TfrmPickingPrint::method(const char* param, const char* fallback) const
{
    const QString m = GetParam(QString::fromLatin1(param));
    return m.isEmpty() ? QString::fromLatin1(fallback) : m;
}

QGridLayout* TfrmPickingPrint::SenderGrid()
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("选择发件人："), this), 0, 0);
    grid->addWidget(m_sender, 0, 1);
    auto* editSender = new QPushButton(QStringLiteral("编辑发件人信息"), this);
    grid->addWidget(editSender, 0, 2);
    connect(editSender, &QPushButton::clicked, this, [this] { btnSenderClick(); });
    return grid;
}

QPushButton* TfrmPickingPrint::ExitButton()
{
    auto* exit = new QPushButton(QStringLiteral("退     出"), this);
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
    return exit;
}

bool TfrmPickingPrint::ExportPdf(const QString& fileName, const QString& nothing)
{
    SetSenderVariables();
    TRMReportEx* report = m_report->Report();
    if (!report->LoadFromFile(m_report->FileName())) {
        KxShowError(report->LastError());
        return false;
    }
    report->ChangePaper();
    if (!report->ExportPdf(fileName)) {
        KxShowError(report->LastError().isEmpty() ? nothing : report->LastError());
        return false;
    }
    return true;
}

void TfrmPickingPrint::InitModule(const QString& xml)
{
    TfrmBase::InitModule(xml);
    LoadSenders();
}

void TfrmPickingPrint::LoadSenders()
{
    const QString chosen = m_sender->currentData().toString();
    m_sender->clear();
    THttpWeb web;
    web.setModule(method("sendren", "SendRen.Search"));
    if (!web.SendData() || !m_senders->SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return;
    const TField* id = m_senders->FindField(QStringLiteral("renid"));
    const TField* name = m_senders->FindField(QStringLiteral("sender_name"));
    if (!id || !name)
        return;
    for (m_senders->First(); !m_senders->Eof(); m_senders->Next())
        m_sender->addItem(name->AsString(), id->AsString());
    m_sender->setCurrentIndex(chosen.isEmpty() ? 0 : qMax(0, m_sender->findData(chosen)));
}

void TfrmPickingPrint::SetSenderVariables()
{
    m_report->VariablesClear();
    const QString renid = m_sender->currentData().toString();
    if (renid.isEmpty() || !m_senders->Active() || !m_senders->Locate(QStringLiteral("renid"), renid))
        return;
    static const char* const vars[][2] = {{"发件人ID", "renid"}, {"发件人名称", "sender_name"}, {"发件地址", "sender_address"},
                                          {"发件邮编", "sender_zip"}, {"发件人手机", "sender_mobile"}, {"发件人电话", "sender_phone"},
                                          {"自定义1", "memo1"}, {"自定义2", "memo2"}, {"自定义3", "memo3"}};
    for (const auto& v : vars) {
        const TField* f = m_senders->FindField(QString::fromLatin1(v[1]));
        m_report->AddVariables(QString::fromUtf8(v[0]), f ? f->AsString() : QString());
    }
}

void TfrmPickingPrint::btnSenderClick()
{
    TfrmBase* module = CallModule(this, QStringLiteral("SendRen.Module"));
    if (!module)
        return;
    // A window that frees itself on closing may be gone already.
    const QPointer<TfrmBase> window(module);
    KxUi().ShowModal(module);
    delete window.data();
    LoadSenders();
}

bool TfrmPickingPrint::LoadPickings(const QStringList& pickingIds)
{
    THttpWeb web;
    web.setModule(method("search", "PickingSend.Search"));
    web.Request()->AddParams(QStringLiteral("pickingid"), pickingIds.join(u','));
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (!web.SendData())
        return false;
    if (!m_ownHeaders->SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return false;
    // Lines come with the answer when the method gives them.
    if (!web.Response()->HasParam(QStringLiteral("xmldetail"))
        || !m_ownLines->SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldetail"))))
        m_ownLines->Close();
    SetPickings(m_ownHeaders, m_ownLines->Active() ? m_ownLines : nullptr);
    return true;
}

void TfrmPickingPrint::SetPickings(TPClientDataSet* headers, TPClientDataSet* lines)
{
    m_headers = headers;
    m_lines = lines;
    m_report->RMDataSetClear();
    // Templates name the fields by caption: the captions come with the links, so the service's
    // own captions do not matter.
    if (headers)
        m_report->AddCDataSet(headers, QStringLiteral("拣货单"), KxExpressFieldLabels(QStringLiteral("拣货单")));
    if (lines)
        m_report->AddCDataSet(lines, QStringLiteral("拣货单明细"), KxExpressFieldLabels(QStringLiteral("拣货单明细")));
}
