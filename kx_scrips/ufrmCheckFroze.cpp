#include "ufrmCheckFroze.h"

#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TfrmCheckFroze::TfrmCheckFroze(const QString& storageMethod, const QString& frozeMethod, const QString& checkcode, std::function<void()> frozen,
                               QWidget* owner)
    : TfrmBase(owner)
    , m_frozeMethod(frozeMethod)
    , m_checkcode(checkcode)
    , m_frozen(std::move(frozen))
    , m_storages(new TPClientDataSet(this))
    , m_box(new QComboBox(this))
    , m_button(new QPushButton(QStringLiteral("冻结商品库存"), this))
{
    setWindowTitle(QStringLiteral("冻结商品库存"));
    auto* row = new QHBoxLayout(this);
    row->addWidget(new QLabel(QStringLiteral("选择仓库："), this));
    row->addWidget(m_box, 1);
    row->addWidget(m_button);
    m_box->setMinimumWidth(200);
    connect(m_button, &QPushButton::clicked, this, [this] { cxButton1Click(); });
    THttpWeb web;
    web.setModule(storageMethod);
    if (web.SendData() && m_storages->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata"))))
        for (m_storages->First(); !m_storages->Eof(); m_storages->Next())
            m_box->addItem(m_storages->FieldByName(QStringLiteral("storagename"))->AsString(),
                           m_storages->FieldByName(QStringLiteral("storageid"))->AsString());
    m_box->setCurrentIndex(-1);
}

void TfrmCheckFroze::cxButton1Click()
{
    if (m_box->currentIndex() < 0) {
        m_box->setFocus();
        KxShowInfo(QStringLiteral("请选择需要盘点的仓库！"));
        return;
    }
    THttpWeb web;
    web.setModule(m_frozeMethod);
    web.Request()->AddParams(QStringLiteral("storageid"), m_box->currentData().toString());
    web.Request()->AddParams(QStringLiteral("checkcode"), m_checkcode);
    if (!web.SendData())
        return;
    if (m_frozen)
        m_frozen();
    KxShowInfo(QStringLiteral("【") + m_box->currentText() + QStringLiteral("】, 库存冻结成功！"));
}
