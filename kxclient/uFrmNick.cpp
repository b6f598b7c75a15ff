#include "uFrmNick.h"
#include "uShell.h"
#include "uHttpWeb.h"
#include "uUiHooks.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFrmNick::TFrmNick(const QString& programDir, QWidget* parent) : QDialog(parent), m_dir(programDir)
{
    setWindowTitle(QStringLiteral("设置主帐号"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(24, 24, 24, 20);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(16);
    grid->addWidget(new QLabel(QStringLiteral("主网店帐号："), this), 0, 0);
    NickEdit = new QLineEdit(this);
    NickEdit->setMinimumWidth(220);
    grid->addWidget(NickEdit, 0, 1);
    BitBtn1 = new QPushButton(QStringLiteral("验   证"), this);
    BitBtn1->setDefault(true);
    grid->addWidget(BitBtn1, 1, 1, Qt::AlignRight);
    setFixedSize(sizeHint());
    connect(BitBtn1, &QPushButton::clicked, this, &TFrmNick::BitBtn1Click);
}

void TFrmNick::BitBtn1Click()
{
    THttpWeb web;
    web.setModule(QStringLiteral("PowerMger.SETNICK"));
    web.setNickid(QString());
    web.setOperid(QString());
    web.Request()->AddParams(QStringLiteral("masternick"), KxTrimLow(NickEdit->text()));
    if (!web.SendData())
        return; // the service's message was shown; the operator may try again
    if (!KxWriteMasterNick(m_dir, web.Response()->GetParam(QStringLiteral("masternick")))) {
        KxShowError(QStringLiteral("无法写入文件 nick.dll"));
        return;
    }
    accept();
}
