#include "uFrmBGInfo.h"

#include "uCallModule.h"
#include "uExpressFiles.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmBGInfo::TFrmBGInfo(QWidget* owner)
    : TfrmBase(owner), m_name(new QLineEdit(this)), m_picture(new QLineEdit(this)), m_carrier(new QComboBox(this)),
      m_carriers(new TPClientDataSet(this)), m_record(new TPClientDataSet(this))
{
    setWindowTitle(QStringLiteral("添加快递模板"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("模板名："), this), 0, 0);
    top->addWidget(m_name, 0, 1, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("快递单背景图："), this), 1, 0);
    top->addWidget(m_picture, 1, 1);
    auto* choose = new QPushButton(QStringLiteral("..."), this);
    top->addWidget(choose, 1, 2);
    layout->addLayout(top);

    auto* size = new QGroupBox(QStringLiteral("快递实际大小（精确到0.1毫米）"), this);
    auto* grid = new QGridLayout(size);
    const char* const captions[] = {"宽度：", "高度：", "左偏移：", "右偏移：", "上偏移：", "下偏移："};
    for (int i = 0; i < 6; ++i) {
        m_mm[i] = new QDoubleSpinBox(size);
        m_mm[i]->setDecimals(1);
        m_mm[i]->setRange(0, 2000);
        m_mm[i]->setSingleStep(0.1);
        grid->addWidget(new QLabel(QString::fromUtf8(captions[i]), size), i / 2, (i % 2) * 3);
        grid->addWidget(m_mm[i], i / 2, (i % 2) * 3 + 1);
        grid->addWidget(new QLabel(QStringLiteral("毫米"), size), i / 2, (i % 2) * 3 + 2);
    }
    layout->addWidget(size);
    auto* carrier = new QHBoxLayout;
    carrier->addWidget(new QLabel(QStringLiteral("选择所属的物流公司："), this));
    carrier->addWidget(m_carrier, 1);
    layout->addLayout(carrier);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("确  定"), this);
    auto* exit = new QPushButton(QStringLiteral("退  出"), this);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    connect(choose, &QPushButton::clicked, this, [this] { btnPictureClick(); });
    connect(ok, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
    const double defaults[] = {230, 127, 0, 0, 0, 0};
    for (int i = 0; i < 6; ++i)
        m_mm[i]->setValue(defaults[i]);
}

void TFrmBGInfo::InitModule(const QString& xml)
{
    TfrmBase::InitModule(xml);
    m_carrier->clear();
    THttpWeb web;
    web.setModule(QStringLiteral("Logistics.Search"));
    web.Request()->AddParams(QStringLiteral("nick"), QStringLiteral("nick"));
    if (!web.SendData() || !m_carriers->SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return;
    const TField* code = m_carriers->FindField(QStringLiteral("logistics_code"));
    const TField* name = m_carriers->FindField(QStringLiteral("logistics_name"));
    if (!code || !name)
        return;
    for (m_carriers->First(); !m_carriers->Eof(); m_carriers->Next())
        m_carrier->addItem(name->AsString(), code->AsString());
    m_carrier->setCurrentIndex(-1);
}

void TFrmBGInfo::ShowTemplate(const QString& expressId, const TExpressLayout& page)
{
    m_id = expressId;
    m_file.clear();
    m_name->clear();
    m_carrier->setCurrentIndex(-1);
    m_picture->setText(page.backFile);
    const double values[] = {page.mmWidth, page.mmHeigth, page.mmMarginLeft, page.mmMarginRight, page.mmMarginTop, page.mmMarginBottom};
    for (int i = 0; i < 6; ++i)
        m_mm[i]->setValue(values[i]);
    THttpWeb web;
    web.setModule(QStringLiteral("Express.Search"));
    web.Request()->AddParams(QStringLiteral("express_id"), expressId);
    if (!web.SendData() || !m_record->SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return;
    // A new template starts from an empty record of the list's structure.
    if (expressId.isEmpty() || !m_record->Locate(QStringLiteral("express_id"), expressId)) {
        m_record->EmptyDataSet();
        m_id.clear();
        return;
    }
    m_name->setText(m_record->FieldByName(QStringLiteral("express_name"))->AsString());
    m_file = m_record->FieldByName(QStringLiteral("express_file"))->AsString();
    m_carrier->setCurrentIndex(m_carrier->findData(m_record->FieldByName(QStringLiteral("logistics_code"))->AsString()));
}

TExpressLayout TFrmBGInfo::PageValues() const
{
    TExpressLayout l;
    l.backFile = m_picture->text().trimmed();
    l.mmWidth = m_mm[0]->value();
    l.mmHeigth = m_mm[1]->value();
    l.mmMarginLeft = m_mm[2]->value();
    l.mmMarginRight = m_mm[3]->value();
    l.mmMarginTop = m_mm[4]->value();
    l.mmMarginBottom = m_mm[5]->value();
    return l;
}

void TFrmBGInfo::btnPictureClick()
{
    const QString file = KxUi().GetOpenFileName(this, QStringLiteral("快递单背景图"), KxProgramDir(),
                                                QStringLiteral("图片 (*.png *.jpg *.jpeg *.bmp)"));
    if (!file.isEmpty())
        m_picture->setText(file);
}

void TFrmBGInfo::btnOkClick()
{
    if (m_carrier->currentIndex() < 0) {
        KxUi().MessageBox(QStringLiteral("系统提示"), QStringLiteral("请选择所属的物流公司！"), TMsgIcon::Warning, mbOK);
        m_carrier->setFocus();
        return;
    }
    const QString name = m_name->text().trimmed();
    const QString file = m_carrier->currentText() + u'_' + name;
    if (name.isEmpty()) {
        KxUi().MessageBox(QStringLiteral("系统提示"), QStringLiteral("请输入模板名！"), TMsgIcon::Warning, mbOK);
        m_name->setFocus();
        return;
    }
    if (!KxExpressStemOk(file))
        return;
    if (!m_record->Active())
        m_record->Open();
    const bool found = !m_id.isEmpty() && m_record->Locate(QStringLiteral("express_id"), m_id);
    if (found) {
        m_record->Edit();
    } else {
        m_record->Append();
        m_record->FieldByName(QStringLiteral("md5_key"))->SetAsString(GetMd5_Key());
    }
    m_record->FieldByName(QStringLiteral("express_name"))->SetAsString(name);
    m_record->FieldByName(QStringLiteral("logistics_code"))->SetAsString(m_carrier->currentData().toString());
    m_record->FieldByName(QStringLiteral("express_file"))->SetAsString(file);
    m_record->FieldByName(QStringLiteral("is_use"))->SetAsBoolean(true);
    m_record->Post();
    THttpWeb web;
    web.setModule(QStringLiteral("Express.Update"));
    web.Request()->AddFiles(QStringLiteral("delta"), m_record->GetKXXMLDelta());
    if (!web.SendData())
        return; // the change stays for another try
    UnionCDS(m_record, web.Response()->GetParam(QStringLiteral("xmldata")));
    m_record->MergeChangeLog();
    m_id = m_record->FieldByName(QStringLiteral("express_id"))->AsString();
    m_file = file;
    KxShowInfo(QStringLiteral("数据提交成功！"));
    SetModalResult(mrOk);
}

KX_REGISTER_CLASS(TFrmBGInfo)
