#include "ufrmGoodsDown.h"
#include "uFormParts.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uHttpWeb.h"
#include "uUiHooks.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace {
constexpr int kPageSize = 50;

// The service's count of items; text that is no number is an error, not zero.
int totalOf(THttpWeb& web)
{
    const QString text = web.Response()->GetParam(QStringLiteral("total_results")).trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int total = text.toInt(&ok);
    if (!ok || total < 0)
        throw std::runtime_error(QStringLiteral("“%1”不是有效的商品数量").arg(text.left(40)).toStdString());
    return total;
}

bool downPage(THttpWeb& web, const QString& status, int page, int size)
{
    web.setModule(QStringLiteral("NetShop.DownGoods"));
    web.Request()->AddParams(QStringLiteral("detailnick"), gNickName);
    web.Request()->AddParams(QStringLiteral("status"), status);
    web.Request()->AddParams(QStringLiteral("page_no"), QString::number(page));
    web.Request()->AddParams(QStringLiteral("page_size"), QString::number(size));
    return web.SendData();
}
}

TfrmGoodsDown::TfrmGoodsDown(QWidget* owner)
    : TfrmBase(owner)
    , m_categories(new QCheckBox(QStringLiteral("商品类目 "), this))
    , m_onSale(new QCheckBox(QStringLiteral("出售中的商品"), this))
    , m_inStock(new QCheckBox(QStringLiteral("库存中的商品"), this))
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
    , m_item(new QLineEdit(this))
{
    KxMakeDialog(this);
    setWindowTitle(QStringLiteral("信息下载"));
    resize(460, 260);
    auto* top = new QVBoxLayout(this);

    auto* bulk = new QGroupBox(QStringLiteral("批量下载"), this);
    auto* bulkLayout = new QVBoxLayout(bulk);
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(m_categories);
    kinds->addWidget(m_onSale);
    kinds->addWidget(m_inStock);
    kinds->addStretch();
    bulkLayout->addLayout(kinds);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    bulkLayout->addWidget(m_progress);
    bulkLayout->addWidget(m_status);
    auto* bulkButtons = new QHBoxLayout;
    bulkButtons->addStretch();
    auto* down = new QPushButton(QStringLiteral("下  载"), bulk);
    auto* quit = new QPushButton(QStringLiteral("退  出"), bulk);
    bulkButtons->addWidget(down);
    bulkButtons->addWidget(quit);
    bulkLayout->addLayout(bulkButtons);
    top->addWidget(bulk);

    auto* one = new QGroupBox(QStringLiteral("逐个下载"), this);
    auto* oneLayout = new QHBoxLayout(one);
    oneLayout->addWidget(new QLabel(QStringLiteral("宝贝编码："), one));
    oneLayout->addWidget(m_item, 1);
    auto* downOne = new QPushButton(QStringLiteral("下  载"), one);
    oneLayout->addWidget(downOne);
    top->addWidget(one);

    connect(down, &QPushButton::clicked, this, &TfrmGoodsDown::btnDownClick);
    connect(downOne, &QPushButton::clicked, this, &TfrmGoodsDown::btnDownOneClick);
    connect(quit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

void TfrmGoodsDown::step(int position, const QString& text)
{
    // A last page of fewer items would count past the whole.
    m_progress->setValue(qBound(0, position, 100));
    if (!text.isNull())
        m_status->setText(text);
    m_progress->repaint();
    m_status->repaint();
}

void TfrmGoodsDown::btnDownClick()
{
    if (m_categories->isChecked()) {
        step(0, QStringLiteral("下载类目...."));
        THttpWeb web;
        web.setModule(QStringLiteral("NetShop.DownCategory"));
        web.Request()->AddParams(QStringLiteral("detailnick"), gNickName);
        if (!web.SendData()) {
            step(m_progress->value(), QStringLiteral("类目下载失败！"));
            return;
        }
        step(100, QStringLiteral("类目下载完成！"));
    }
    const struct {
        QCheckBox* box;
        const char* status;
        const char* start;
        const char* done;
        const char* failed;
    } kinds[] = {
        {m_onSale, "onsale", "下载出售中的商品....", "出售中的商品下载完成！", "出售中的商品下载失败！"},
        {m_inStock, "instock", "库存中的商品类目....", "库存中的商品下载完成！", "库存中的商品下载失败！"},
    };
    for (const auto& k : kinds) {
        if (!k.box->isChecked())
            continue;
        step(m_progress->value(), QString::fromUtf8(k.start));
        if (!DownItems(QString::fromLatin1(k.status))) {
            step(m_progress->value(), QString::fromUtf8(k.failed));
            return;
        }
        step(100, QString::fromUtf8(k.done));
    }
}

bool TfrmGoodsDown::DownItems(const QString& status)
{
    step(0);
    try {
        THttpWeb probe;
        if (!downPage(probe, status, 1, 1))
            return false;
        int total = totalOf(probe);
        if (total == 0) {
            step(100);
            return true;
        }
        step(100 / total);
        const int pages = (total + kPageSize - 1) / kPageSize;
        for (int p = 1; p <= pages; ++p) {
            THttpWeb web;
            if (!downPage(web, status, p, kPageSize))
                return false;
            total = totalOf(web);
            step(total > 0 ? int(qint64(p) * kPageSize * 100 / total) : 100);
        }
        return true;
    } catch (const std::exception& e) {
        KxShowInfo(QString::fromUtf8(e.what()));
        return false;
    }
}

void TfrmGoodsDown::btnDownOneClick()
{
    try {
        THttpWeb web;
        web.setModule(QStringLiteral("NetShop.DownGood"));
        web.Request()->AddParams(QStringLiteral("detailnick"), gNickName);
        web.Request()->AddParams(QStringLiteral("num_iid"), m_item->text().trimmed());
        if (web.SendData())
            KxShowInfo(QStringLiteral("宝贝下载成功！"));
    } catch (const std::exception& e) {
        KxShowInfo(QString::fromUtf8(e.what()));
    }
}

KX_REGISTER_CLASS(TfrmGoodsDown)
