#include "ufrmCheckEmpty.h"

#include "uCallModule.h"
#include "uCheckBatch.h"
#include "uDocCommon.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TfrmCheckEmpty::TfrmCheckEmpty(QWidget* owner)
    : TfrmBase(owner)
    , m_master(new TPClientDataSet(this))
    , m_detail(new TPClientDataSet(this))
    , m_box(new QComboBox(this))
{
    auto* row = new QHBoxLayout(this);
    row->addWidget(new QLabel(QStringLiteral("选择仓库："), this));
    row->addWidget(m_box, 1);
    auto* print = new QPushButton(QStringLiteral("打 印"), this);
    auto* close = new QPushButton(QStringLiteral("退 出"), this);
    row->addWidget(print);
    row->addWidget(close);
    m_box->setMinimumWidth(200);
    connect(print, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmCheckEmpty::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (m_opened)
        return;
    m_opened = true;
    TPClientDataSet storages;
    if (KxLoadLookupList(this, QStringLiteral("storage"), {}, &storages) && storages.Active())
        for (storages.First(); !storages.Eof(); storages.Next())
            m_box->addItem(storages.FieldByName(QStringLiteral("storagename"))->AsString(), storages.FieldByName(QStringLiteral("storageid"))->AsString());
    m_box->setCurrentIndex(-1);
}

QString TfrmCheckEmpty::batch()
{
    for (const QString& line : FixedConditions())
        if (line.startsWith(QLatin1String("checkcode=")))
            return line.mid(10);
    return KxEffectiveBatch(this);
}

bool TfrmCheckEmpty::LoadSheet()
{
    if (m_box->currentIndex() < 0) {
        m_box->setFocus();
        KxShowInfo(QStringLiteral("请选择盘点仓库！"));
        return false;
    }
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("search")));
    web.Request()->AddParams(QStringLiteral("checkcode"), batch());
    web.Request()->AddParams(QStringLiteral("storageid"), m_box->currentData().toString());
    if (!web.SendData())
        return false;
    return m_master->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmlmaster")))
           && m_detail->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldetail")));
}

void TfrmCheckEmpty::btnPrintClick()
{
    if (!LoadSheet())
        return;
    if (m_master->IsEmpty()) {
        KxShowInfo(QStringLiteral("【") + m_box->currentText() + QStringLiteral("】未在本盘点批次中冻结库存！"));
        return;
    }
    KxPrintVoucher(this, m_master, QStringLiteral("空盘点表"), m_detail, QStringLiteral("空盘点表明细"));
}

KX_REGISTER_CLASS(TfrmCheckEmpty)
