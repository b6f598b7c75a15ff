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
    QGridLayout* grid = SenderGrid();
    auto* design = new QPushButton(QStringLiteral("编辑发货单模板"), this);
    auto* print = new QPushButton(QStringLiteral("打印发货单"), this);
    grid->addWidget(design, 1, 0);
    grid->addWidget(print, 1, 1);
    grid->addWidget(ExitButton(), 1, 2);
    connect(design, &QPushButton::clicked, this, [this] { btnDesignClick(); });
    connect(print, &QPushButton::clicked, this, [this] { btnPrintClick(); });
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
    return ExportPdf(fileName, QStringLiteral("没有可打印的发货单"));
}

KX_REGISTER_CLASS(TfrmPickingFH)
