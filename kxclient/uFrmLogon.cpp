#include "uFrmLogon.h"
#include "uArt.h"
#include "uCallModule.h"
#include "uFrmClient.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uShell.h"
#include "uUiHooks.h"
#include "wire/uConfig.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

const QString KxFeedbackUrl = QStringLiteral("https://www.varnoq.example.com/feedback");

TFrmLogon::TFrmLogon(QWidget* owner) : TfrmBase(owner)
{
    setWindowTitle(QStringLiteral("操作员登陆"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    setObjectName(QStringLiteral("FrmLogon"));

    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    auto* picture = new QLabel(this);
    picture->setPixmap(KxLogonPicture(QSize(190, 300)));
    h->addWidget(picture);

    auto* right = new QWidget(this);
    auto* v = new QVBoxLayout(right);
    v->setContentsMargins(26, 20, 26, 18);
    v->setSpacing(12);
    auto* logo = new QLabel(right);
    logo->setPixmap(KxLogoPixmap(QSize(250, 56)));
    v->addWidget(logo);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    cxComboBox1 = new QComboBox(right);
    cxComboBox2 = new QComboBox(right);
    cxTextEdit1 = new QLineEdit(right);
    cxTextEdit1->setEchoMode(QLineEdit::Password);
    grid->addWidget(new QLabel(QStringLiteral("门    店："), right), 0, 0);
    grid->addWidget(cxComboBox1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("操作员："), right), 1, 0);
    grid->addWidget(cxComboBox2, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("密    码："), right), 2, 0);
    grid->addWidget(cxTextEdit1, 2, 1);
    grid->setColumnStretch(1, 1);
    v->addLayout(grid);
    v->addStretch(1);

    auto* buttons = new QHBoxLayout;
    cxButton1 = new QPushButton(QStringLiteral("更新及反馈"), right);
    cxButton2 = new QPushButton(QStringLiteral("登   录"), right);
    cxButton2->setDefault(true);
    cxButton2->setObjectName(QStringLiteral("primaryButton"));
    buttons->addWidget(cxButton1);
    buttons->addStretch(1);
    buttons->addWidget(cxButton2);
    v->addLayout(buttons);
    h->addWidget(right, 1);

    setFixedSize(520, 300);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    // The focus follows the eye: shop, operator, password, then "登   录" before the feedback.
    setTabOrder(cxComboBox1, cxComboBox2);
    setTabOrder(cxComboBox2, cxTextEdit1);
    setTabOrder(cxTextEdit1, cxButton2);
    setTabOrder(cxButton2, cxButton1);
    cxTextEdit1->setFocus();

    connect(cxButton2, &QPushButton::clicked, this, &TFrmLogon::cxButton2Click);
    connect(cxTextEdit1, &QLineEdit::returnPressed, this, &TFrmLogon::cxButton2Click);
    connect(cxButton1, &QPushButton::clicked, this, [] { KxUi().OpenUrl(KxFeedbackUrl); });
}

void TFrmLogon::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFrmLogon::FormShow()
{
    if (!FillList(cxComboBox1, QStringLiteral("shop"), QStringLiteral("shopcode"), QStringLiteral("shopname"),
                  QStringLiteral("总店"), QStringLiteral("coreshop"))
        || !FillList(cxComboBox2, QStringLiteral("operator"), QStringLiteral("operid"), QStringLiteral("opername"),
                     QStringLiteral("老板"), QStringLiteral("admin"))
        || !LoadSubNicks()) {
        KxTerminate();
        close();
    }
}

bool TFrmLogon::FillList(QComboBox* box, const QString& method, const QString& codeField, const QString& textField,
                         const QString& defaultText, const QString& defaultCode)
{
    THttpWeb web;
    web.setModule(KxDirectoryParam(method));
    web.setNickid(gNickId);
    web.setOperid(QString());
    if (!web.SendData())
        return false;
    TPClientDataSet ds;
    ds.SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata")));
    box->clear();
    if (ds.Active())
        for (ds.First(); !ds.Eof(); ds.Next())
            box->addItem(ds.FieldByName(textField)->AsString(), ds.FieldByName(codeField)->AsString());
    box->setEnabled(box->count() > 0);
    if (box->count() == 0)
        box->addItem(defaultText, defaultCode);
    box->setCurrentIndex(0);
    return true;
}

bool TFrmLogon::LoadSubNicks()
{
    THttpWeb web;
    web.setModule(KxDirectoryParam(QStringLiteral("subnick")));
    web.setNickid(gNickId);
    web.setOperid(QString());
    if (!web.SendData())
        return false;
    TPClientDataSet ds;
    ds.SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata")));
    gSubNicks.clear();
    if (ds.Active())
        for (ds.First(); !ds.Eof(); ds.Next())
            gSubNicks << ds.FieldByName(QStringLiteral("nick"))->AsString();
    return true;
}

void TFrmLogon::cxButton2Click()
{
    if (cxComboBox1->currentIndex() < 0) {
        cxComboBox1->setFocus();
        KxShowError(QStringLiteral("门店编码不能为空！"), QStringLiteral("错误提示"));
        return;
    }
    if (cxComboBox2->currentIndex() < 0) {
        cxComboBox2->setFocus();
        KxShowError(QStringLiteral("操作员编码不能为空！"), QStringLiteral("错误提示"));
        return;
    }
    TFrmClient* client = TFrmClient::Instance();
    if (client && client->Login(cxComboBox1->currentData().toString(), cxComboBox2->currentData().toString(),
                                cxTextEdit1->text())) {
        SetModalResult(mrOk);
        return;
    }
    // A refused password is selected, so typing replaces it.
    cxTextEdit1->setFocus();
    cxTextEdit1->selectAll();
}

void TFrmLogon::FormClose(QCloseEvent*)
{
    if (ModalResult() != mrOk && !KxTerminated())
        KxTerminate();
}

KX_REGISTER_CLASS(TFrmLogon)
