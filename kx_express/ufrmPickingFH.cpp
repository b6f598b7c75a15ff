#include "ufrmPickingFH.h"

#include "uCallModule.h"
#include "uKXReport.h"
#include "uLocalFiles.h"
#include "uRMReportEx.h"
#include "uUiHooks.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TfrmPickingFH::TfrmPickingFH(QWidget* owner) : TfrmPickingPrint(owner)
{
    setWindowTitle(QStringLiteral("打印发货单"));
    Report()->SetFileName(KxUserFile(QStringLiteral("rmf/fahuodan.rmf")));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("选择发件人："), this), 0, 0);
    grid->addWidget(m_sender, 0, 1);
    auto* editSender = new QPushButton(QStringLiteral("编辑发件人信息"), this);
    grid->addWidget(editSender, 0, 2);
    auto* design = new QPushButton(QStringLiteral("编辑发货单模板"), this);
    auto* print = new QPushButton(QStringLiteral("打印发货单"), this);
    auto* exit = new QPushButton(QStringLiteral("退     出"), this);
    grid->addWidget(design, 1, 0);
    grid->addWidget(print, 1, 1);
    grid->addWidget(exit, 1, 2);
    connect(editSender, &QPushButton::clicked, this, [this] { btnSenderClick(); });
    connect(design, &QPushButton::clicked, this, [this] { btnDesignClick(); });
    connect(print, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

void TfrmPickingFH::btnDesignClick()
{
    SetSenderVariables();
    Report()->DesignReport();
}

void TfrmPickingFH::btnPrintClick()
{
    SetSenderVariables();
    Report()->PreviewReport();
}

bool TfrmPickingFH::PrintToPdf(const QString& fileName)
{
    SetSenderVariables();
    TRMReportEx* report = Report()->Report();
    if (!report->LoadFromFile(Report()->FileName())) {
        KxShowError(report->LastError());
        return false;
    }
    report->ChangePaper();
    if (!report->ExportPdf(fileName)) {
        KxShowError(report->LastError().isEmpty() ? QStringLiteral("没有可打印的发货单") : report->LastError());
        return false;
    }
    return true;
}

KX_REGISTER_CLASS(TfrmPickingFH)
