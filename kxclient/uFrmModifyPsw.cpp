#include "uFrmModifyPsw.h"
#include "uCallModule.h"
#include "uFrmClient.h"
#include "uUiHooks.h"
#include "wire/uConfig.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

TFrmModifyPsw::TFrmModifyPsw(QWidget* owner) : TfrmBase(owner)
{
    setWindowTitle(QStringLiteral("修改登入密码"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(28, 24, 28, 20);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    auto masked = [this] {
        auto* e = new QLineEdit(this);
        e->setEchoMode(QLineEdit::Password);
        e->setMinimumWidth(200);
        return e;
    };
    LabelOperName = new QLabel(this);
    cxTextEdit1 = masked();
    cxTextEdit2 = masked();
    cxTextEdit3 = masked();
    grid->addWidget(new QLabel(QStringLiteral("操作员名称："), this), 0, 0);
    grid->addWidget(LabelOperName, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("旧  密  码："), this), 1, 0);
    grid->addWidget(cxTextEdit1, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("新  密  码："), this), 2, 0);
    grid->addWidget(cxTextEdit2, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("确认密码："), this), 3, 0);
    grid->addWidget(cxTextEdit3, 3, 1);
    auto* buttons = new QHBoxLayout;
    cxButton1 = new QPushButton(QStringLiteral("&M修改"), this);
    cxButton2 = new QPushButton(QStringLiteral("&Q退出"), this);
    cxButton1->setObjectName(QStringLiteral("primaryButton"));
    buttons->addStretch(1);
    buttons->addWidget(cxButton1);
    buttons->addWidget(cxButton2);
    grid->addLayout(buttons, 4, 0, 1, 2);
    setFixedSize(sizeHint());
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    connect(cxButton1, &QPushButton::clicked, this, &TFrmModifyPsw::cxButton1Click);
    connect(cxButton2, &QPushButton::clicked, this, &QWidget::close);
}

void TFrmModifyPsw::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    LabelOperName->setText(gOperName);
}

void TFrmModifyPsw::cxButton1Click()
{
    if (cxTextEdit2->text() != cxTextEdit3->text()) {
        KxShowError(QStringLiteral("新密码与确认密码必须相同！"), QStringLiteral("错误提示"));
        return;
    }
    TFrmClient* client = TFrmClient::Instance();
    if (!client || !client->ChangePassword(cxTextEdit1->text(), cxTextEdit2->text()))
        return;
    KxShowInfo(QStringLiteral("密码修改成功！"));
    close();
}

KX_REGISTER_CLASS(TFrmModifyPsw)
