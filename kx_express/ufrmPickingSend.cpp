#include "ufrmPickingSend.h"

#include "uCallModule.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const kRowFields[] = {"pickingid", "buyer_nick", "receiver_city", "company_code", "out_sid", "out_fee", "out_info"};
const char* const kCaptions[] = {"拣货单号", "买家帐号", "收件城市", "快递公司", "快递单号", "快递运费", "修改新快递信息"};

bool loadList(const QString& method, const QStringList& lines, TPClientDataSet* into)
{
    THttpWeb web;
    web.setModule(method);
    web.Request()->AddParamLines(lines);
    if (!web.SendData())
        return false;
    into->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
    return true;
}
}

TfrmPickingSend::TfrmPickingSend(QWidget* owner)
    : TfrmBase(owner)
    , m_rows(new TPClientDataSet(this))
    , m_allCarriers(new TPClientDataSet(this))
    , m_carriers(new TPClientDataSet(this))
    , m_grid(new TGridView(this))
    , m_carrier(new QComboBox(this))
    , m_start(new QLineEdit(this))
    , m_step(new QComboBox(this))
    , m_numbers(new QListWidget(this))
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
{
    setWindowTitle(QStringLiteral("网店发货"));
    resize(980, 560);
    m_rows->setObjectName(QStringLiteral("cdsSend"));
    m_grid->setObjectName(QStringLiteral("cxGridSend"));
    m_grid->SetDataSet(m_rows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < int(std::size(kRowFields)); ++i) {
        TGridColumn* c = m_grid->AddColumn(QLatin1String(kRowFields[i]), QString::fromUtf8(kCaptions[i]));
        c->ReadOnly = true;
        c->Width = i == 6 ? 220 : 110;
        if (i == 3) {
            c->Editor = TGridEditor::Lookup;
            c->LookupDataSet = m_allCarriers;
            c->LookupKeyField = QStringLiteral("logistics_code");
            c->LookupListField = QStringLiteral("logistics_name");
        } else if (i == 5) {
            c->Editor = TGridEditor::Amount;
        }
    }
    m_grid->ColumnsChanged();

    // The page "物流公司和运单号".
    auto* page = new QGroupBox(QStringLiteral("物流公司和运单号"), this);
    auto* form = new QGridLayout(page);
    m_carrier->setObjectName(QStringLiteral("cbxCarrier"));
    m_start->setObjectName(QStringLiteral("edtStart"));
    m_step->setObjectName(QStringLiteral("cbxStep"));
    m_numbers->setObjectName(QStringLiteral("lstNumbers"));
    for (int i = 1; i <= 9; ++i)
        m_step->addItem(QString::number(i));
    m_step->setCurrentIndex(-1);
    form->addWidget(new QLabel(QStringLiteral("快递公司："), page), 0, 0);
    form->addWidget(m_carrier, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("开始运单号："), page), 1, 0);
    form->addWidget(m_start, 1, 1);
    form->addWidget(new QLabel(QStringLiteral("运单号规则：递增+"), page), 2, 0);
    form->addWidget(m_step, 2, 1);
    form->addWidget(m_numbers, 3, 0, 1, 2);
    auto* pageButtons = new QHBoxLayout;
    for (const auto& [text, run] : std::initializer_list<std::pair<const char*, void (TfrmPickingSend::*)()>>{
             {"重  来", &TfrmPickingSend::btnResetClick}, {"预  览", &TfrmPickingSend::btnPreviewClick},
             {"保  存", &TfrmPickingSend::btnSaveClick}}) {
        auto* b = new QPushButton(QString::fromUtf8(text), page);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, run);
        pageButtons->addWidget(b);
    }
    form->addLayout(pageButtons, 4, 0, 1, 2);
    page->setFixedWidth(300);

    auto* upper = new QHBoxLayout;
    upper->addWidget(m_grid, 1);
    upper->addWidget(page);

    auto* lower = new QHBoxLayout;
    auto* send = new QPushButton(QStringLiteral("发  货"), this);
    auto* exit = new QPushButton(QStringLiteral("退  出"), this);
    send->setAutoDefault(false);
    exit->setAutoDefault(false);
    lower->addWidget(m_progress, 1);
    lower->addWidget(send);
    lower->addWidget(exit);
    m_progress->setValue(0);
    m_status->setObjectName(QStringLiteral("lblStatus"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(upper, 1);
    layout->addLayout(lower);
    layout->addWidget(m_status);

    connect(send, &QPushButton::clicked, this, &TfrmPickingSend::btnSendClick);
    connect(exit, &QPushButton::clicked, this, [this] {
        SetModalResult(mrCancel);
        close();
    });
    connect(m_start, &QLineEdit::textChanged, this, &TfrmPickingSend::generate);
    connect(m_step, &QComboBox::currentIndexChanged, this, &TfrmPickingSend::generate);
}

QStringList TfrmPickingSend::WaybillNumbers(const QString& start, int step, int rows)
{
    const QString s = start.trimmed();
    if (s.isEmpty())
        return {};
    // The number is the digits at the end, six at most; the prefix is what stands before.
    int digits = 0;
    while (digits < 6 && digits < s.size() && s.at(s.size() - 1 - digits).isDigit())
        ++digits;
    const QString prefix = s.left(s.size() - digits);
    const QString number = digits > 0 ? s.right(digits) : QString::number(step);
    const int width = int(number.size());
    qint64 n = number.toLongLong();
    QStringList out;
    for (int i = 0; i < rows; ++i) {
        out << prefix + (QStringLiteral("0000000") + QString::number(n)).right(width);
        n += step;
    }
    return out;
}

bool TfrmPickingSend::Prepare()
{
    if (m_prepared)
        return true;
    if (!loadList(QStringLiteral("Logistics.Search"), {}, m_allCarriers)
        || !loadList(QStringLiteral("Logistics.Search"), {QStringLiteral("nick=nick")}, m_carriers)
        || !loadList(QStringLiteral("PickingSend.SendModule"), {}, m_rows))
        return false;
    m_carrier->clear();
    const TField* code = m_carriers->FindField(QStringLiteral("logistics_code"));
    const TField* name = m_carriers->FindField(QStringLiteral("logistics_name"));
    const TField* fee = m_carriers->FindField(QStringLiteral("logistics_fee"));
    for (int r = 0; code && name && r < m_carriers->RecordCount(); ++r)
        m_carrier->addItem(m_carriers->DisplayTextAt(r, name) + (fee ? QStringLiteral("  ") + m_carriers->DisplayTextAt(r, fee) : QString()),
                           m_carriers->ValueAt(r, code));
    m_carrier->setCurrentIndex(-1);
    m_grid->ColumnsChanged();
    m_prepared = true;
    return true;
}

void TfrmPickingSend::AddPicking(const TPClientDataSet* header, const QString& feeField)
{
    if (!m_rows->Active())
        return;
    m_rows->Append();
    for (const char* f : {"md5_key", "pickingid", "buyer_nick", "receiver_city", "company_code", "out_sid"})
        if (const TField* from = header->FindField(QLatin1String(f)))
            if (TField* to = m_rows->FindField(QLatin1String(f)))
                to->SetValue(from->Value());
    if (const TField* fee = header->FindField(feeField))
        m_rows->FieldByName(QStringLiteral("out_fee"))->SetValue(fee->Value());
    m_rows->Post();
}

void TfrmPickingSend::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (m_opened)
        return;
    m_opened = true;
    // Opened as a module: the rows are the pickings its conditions name, else those audited
    // and not shipped yet.
    if (m_prepared || !Prepare())
        return;
    QStringList lines = FixedConditions();
    if (lines.isEmpty())
        lines = {QStringLiteral("status=2"), QStringLiteral("issend=0")};
    TPClientDataSet found;
    const QString search = GetParam(QStringLiteral("search"));
    if (!loadList(search.isEmpty() ? QStringLiteral("PickingSend.Search") : search, lines + QStringList{QStringLiteral("curpage=0")}, &found))
        return;
    m_rows->DisableControls();
    for (found.First(); !found.Eof(); found.Next())
        AddPicking(&found);
    m_rows->MergeChangeLog();
    m_rows->First();
    m_rows->EnableControls();
    generate();
}

void TfrmPickingSend::FormClose(QCloseEvent* event)
{
    // Closing while shipping stops after the picking being reported; the rest stay unshipped
    // and the window stays until the loop has ended.
    if (m_sending) {
        m_stop = true;
        event->ignore();
    }
}

QString TfrmPickingSend::carrierText() const
{
    return m_carrier->currentIndex() < 0 ? QString() : m_carrier->currentText();
}

void TfrmPickingSend::generate()
{
    const int step = m_step->currentIndex() < 0 ? 0 : m_step->currentText().toInt();
    m_generated = WaybillNumbers(m_start->text(), step, m_rows->Active() ? m_rows->RecordCount() : 0);
    m_numbers->clear();
    m_numbers->addItems(m_generated);
}

void TfrmPickingSend::btnResetClick()
{
    if (!m_rows->Active())
        return;
    m_rows->DisableControls();
    for (int r = 1; r <= m_rows->RecordCount(); ++r) {
        m_rows->SetRecNo(r);
        m_rows->Edit();
        m_rows->FieldByName(QStringLiteral("out_info"))->SetAsString(QString());
        m_rows->Post();
    }
    m_rows->EnableControls();
}

void TfrmPickingSend::btnPreviewClick()
{
    if (!m_rows->Active())
        return;
    m_rows->DisableControls();
    for (int i = 0; i < m_generated.size() && i < m_rows->RecordCount(); ++i) {
        m_rows->SetRecNo(i + 1);
        m_rows->Edit();
        m_rows->FieldByName(QStringLiteral("out_info"))->SetAsString(carrierText() + QLatin1Char('(') + m_generated[i] + QLatin1Char(')'));
        m_rows->Post();
    }
    m_rows->EnableControls();
}

void TfrmPickingSend::btnSaveClick()
{
    if (!m_rows->Active())
        return;
    // Numbers without a carrier would be numbers of no parcel service.
    if (!m_generated.isEmpty() && m_carrier->currentIndex() < 0) {
        KxShowInfo(QStringLiteral("请选择快递公司！"));
        m_carrier->setFocus();
        return;
    }
    const QString code = m_carrier->currentData().toString();
    QString fee;
    for (int r = 0; r < m_carriers->RecordCount(); ++r)
        if (m_carriers->ValueAt(r, m_carriers->FieldByName(QStringLiteral("logistics_code"))).toString() == code)
            fee = m_carriers->ValueAt(r, m_carriers->FieldByName(QStringLiteral("logistics_fee"))).toString();
    m_rows->DisableControls();
    for (int i = 0; i < m_generated.size() && i < m_rows->RecordCount(); ++i) {
        m_rows->SetRecNo(i + 1);
        m_rows->Edit();
        m_rows->FieldByName(QStringLiteral("company_code"))->SetAsString(code);
        m_rows->FieldByName(QStringLiteral("out_fee"))->SetValue(fee.isEmpty() ? QVariant() : QVariant(fee));
        m_rows->FieldByName(QStringLiteral("out_sid"))->SetAsString(m_generated[i]);
        m_rows->FieldByName(QStringLiteral("out_info"))->SetAsString(carrierText() + QLatin1Char('(') + m_generated[i] + QLatin1Char(')'));
        m_rows->Post();
    }
    m_rows->EnableControls();
    if (m_rows->ChangeCount() == 0) {
        KxShowInfo(QStringLiteral("无数据变动，不用提交数据！"));
        return;
    }
    THttpWeb web;
    web.setModule(QStringLiteral("PickingSend.Update"));
    web.Request()->AddFiles(QStringLiteral("delta"), m_rows->GetKXXMLDelta());
    if (!KxAskOkCancel(QStringLiteral("真的需要提交修改吗？")) || !web.SendData())
        return;
    UnionCDS(m_rows, web.Response()->GetParam(QStringLiteral("xmldata")));
    m_rows->MergeChangeLog();
    KxShowInfo(QStringLiteral("数据提交成功！"));
}

// Picking by picking in grid order: a refused one is shown on the status line (the service
// client has told why) and the others go on; at the end the refused ones are named.
void TfrmPickingSend::btnSendClick()
{
    if (!m_rows->Active() || m_sending)
        return;
    const int count = m_rows->RecordCount();
    m_progress->setRange(0, qMax(1, count));
    m_progress->setValue(0);
    const TField* id = m_rows->FieldByName(QStringLiteral("pickingid"));
    QStringList refused;
    m_sending = true;
    m_stop = false;
    for (int r = 0; r < count && !m_stop; ++r) {
        const QString number = m_rows->DisplayTextAt(r, id).trimmed();
        THttpWeb web;
        web.setModule(QStringLiteral("NetShop.PickingSend"));
        web.Request()->AddParams(QStringLiteral("pickingid"), number);
        const bool sent = web.SendData();
        if (!sent)
            refused << number;
        m_status->setText((sent ? QStringLiteral("发货成功！ 拣货单号：") : QStringLiteral("发货失败！ 拣货单号：")) + number);
        m_progress->setValue(r + 1);
        repaint();
        QCoreApplication::processEvents();
    }
    m_sending = false;
    if (!refused.isEmpty())
        KxShowInfo(QStringLiteral("以下拣货单没有发货：") + refused.join(QStringLiteral("，")));
}

KX_REGISTER_CLASS(TfrmPickingSend)
