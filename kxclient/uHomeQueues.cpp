#include "uHomeQueues.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uShell.h"
#include "wire/uClock.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const int kTileWidth = 184, kTileGap = 12, kMaxColumns = 6;

// The order of the tiles; the stock documents left over come last, in the service's order.
int tileRank(const QString& queue)
{
    static const QStringList order{"topick", "pickaudit", "picksend", "refund", "refunddue", "belowmin", "unaudited"};
    const qsizetype i = order.indexOf(queue);
    return i < 0 ? int(order.size()) : int(i);
}

// Queues that cannot wait: their number is shown in red while it is not zero.
bool urgent(const QString& queue)
{
    return queue == u"refunddue" || queue == u"belowmin";
}

QString money(const QString& amount)
{
    static const QLocale zh(QLocale::Chinese, QLocale::China);
    return QStringLiteral("¥ ") + zh.toString(amount.toDouble(), 'f', 2);
}

// A caption and its number that opens the queue when clicked (or on Enter/Space).
class TQueueTile : public QFrame {
public:
    TQueueTile(const TKxQueueFigure& f, std::function<void()> open, QWidget* parent)
        : QFrame(parent), m_open(std::move(open))
    {
        setObjectName(QStringLiteral("queueTile"));
        setProperty("queue", f.queue);
        setFixedSize(kTileWidth, 84);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        setToolTip(QStringLiteral("打开 ") + f.caption);
        const QString colour = f.num == 0 ? QStringLiteral("#9aa6b6") : urgent(f.queue) ? QStringLiteral("#c8372d") : QStringLiteral("#1f5fbf");
        setStyleSheet(QStringLiteral("QFrame#queueTile { background: white; border: 1px solid #d3dceb; border-radius: 6px; }"
                                     "QFrame#queueTile:hover, QFrame#queueTile:focus { border: 1px solid #5b8fd6; background: #f5f9ff; }"
                                     "QLabel { background: transparent; border: none; }"));
        auto* v = new QVBoxLayout(this);
        v->setContentsMargins(14, 10, 14, 10);
        v->setSpacing(2);
        auto* number = new QLabel(QString::number(f.num), this);
        number->setObjectName(QStringLiteral("queueNumber"));
        number->setStyleSheet(QStringLiteral("font-size: 30px; font-weight: bold; color: %1;").arg(colour));
        auto* caption = new QLabel(f.caption, this);
        caption->setObjectName(QStringLiteral("queueCaption"));
        caption->setStyleSheet(QStringLiteral("font-size: 14px; color: #34435a;"));
        v->addWidget(number);
        v->addWidget(caption);
        v->addStretch(1);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            m_open();
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space)
            m_open();
        else
            QFrame::keyPressEvent(e);
    }

private:
    std::function<void()> m_open;
};

// One shop account's orders and sales today; opens its orders.
class TShopLine : public QFrame {
public:
    TShopLine(const TKxQueueFigure& f, std::function<void()> open, QWidget* parent) : QFrame(parent), m_open(std::move(open))
    {
        setObjectName(QStringLiteral("shopLine"));
        setCursor(Qt::PointingHandCursor);
        setToolTip(QStringLiteral("打开 ") + f.sellerNick + QStringLiteral(" 今天的订单"));
        setStyleSheet(QStringLiteral("QFrame#shopLine { background: white; border: 1px solid #d3dceb; border-radius: 4px; }"
                                     "QFrame#shopLine:hover { border: 1px solid #5b8fd6; background: #f5f9ff; }"
                                     "QLabel { background: transparent; border: none; font-size: 14px; color: #34435a; }"));
        auto* h = new QHBoxLayout(this);
        h->setContentsMargins(14, 8, 14, 8);
        auto* nick = new QLabel(f.sellerNick, this);
        nick->setMinimumWidth(220);
        auto* orders = new QLabel(QStringLiteral("订单 <b style='color:#1f5fbf; font-size:18px'>%1</b> 笔").arg(f.num), this);
        orders->setObjectName(QStringLiteral("shopOrders"));
        orders->setMinimumWidth(150);
        auto* sales = new QLabel(QStringLiteral("销售额 <b style='color:#1f5fbf; font-size:18px'>%1</b>").arg(money(f.amount).toHtmlEscaped()), this);
        sales->setObjectName(QStringLiteral("shopSales"));
        h->addWidget(nick);
        h->addWidget(orders);
        h->addWidget(sales, 1);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            m_open();
    }

private:
    std::function<void()> m_open;
};

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("font-size: 16px; font-weight: bold; color: #2a4a78; background: transparent;"));
    return l;
}

QLabel* quietLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("font-size: 13px; color: #6a7d96; background: transparent;"));
    return l;
}

} // namespace

TKxHomeQueues::TKxHomeQueues(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("homeQueues"));
    setMaximumWidth(kMaxColumns * (kTileWidth + kTileGap));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(10);

    auto* head = new QHBoxLayout;
    head->addWidget(heading(QStringLiteral("今日待办"), this));
    head->addSpacing(12);
    m_stamp = quietLabel(QString(), this);
    m_stamp->setObjectName(QStringLiteral("queueStamp"));
    head->addWidget(m_stamp);
    head->addStretch(1);
    m_note = quietLabel(QString(), this);
    m_note->setObjectName(QStringLiteral("queueNote"));
    m_note->setStyleSheet(QStringLiteral("font-size: 13px; color: #a0522d; background: transparent;"));
    head->addWidget(m_note);
    v->addLayout(head);

    m_tiles = new QWidget(this);
    m_tileGrid = new QGridLayout(m_tiles);
    m_tileGrid->setContentsMargins(0, 0, 0, 0);
    m_tileGrid->setHorizontalSpacing(kTileGap);
    m_tileGrid->setVerticalSpacing(kTileGap);
    m_tileGrid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The tiles flow into as many columns as fit: the grid's width never holds the page wide.
    m_tiles->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    v->addWidget(m_tiles);
    m_quiet = new QLabel(QStringLiteral("✓  今天没有待处理的工作"), this);
    m_quiet->setObjectName(QStringLiteral("queueQuiet"));
    m_quiet->setStyleSheet(QStringLiteral("font-size: 15px; color: #3d7a4f; background: white; border: 1px solid #d3dceb;"
                                          " border-radius: 6px; padding: 18px 16px;"));
    v->addWidget(m_quiet);

    m_shops = new QWidget(this);
    auto* sv = new QVBoxLayout(m_shops);
    sv->setContentsMargins(0, 8, 0, 0);
    sv->setSpacing(6);
    sv->addWidget(heading(QStringLiteral("今日订单"), m_shops));
    m_shopRows = new QVBoxLayout;
    m_shopRows->setSpacing(6);
    sv->addLayout(m_shopRows);
    m_noOrders = quietLabel(QStringLiteral("今天还没有订单"), m_shops);
    sv->addWidget(m_noOrders);
    v->addWidget(m_shops);

    m_timer->setInterval(3 * 60 * 1000);
    connect(m_timer, &QTimer::timeout, this, &TKxHomeQueues::Refresh);
    m_timer->start();
    rebuild();
}

void TKxHomeQueues::SetRefreshInterval(int msec)
{
    m_timer->setInterval(msec);
}

void TKxHomeQueues::Refresh()
{
    const QString method = KxDirectoryParam(QStringLiteral("workbench"));
    if (m_busy || method.isEmpty())
        return;
    m_busy = true;
    auto web = std::make_unique<THttpWeb>();
    web->setModule(method);
    KxSendQuietly(std::move(web), this, [this](THttpWeb& call, const QString& failure) {
        m_busy = false;
        if (failure.isEmpty())
            ApplyAnswer(*call.Response());
        else
            ApplyFailure(failure);
    });
}

void TKxHomeQueues::ApplyAnswer(const TResponse& answer)
{
    TPClientDataSet ds;
    if (!ds.SetKXXMLData(answer.GetParam(QStringLiteral("xmldata"))) || !ds.Active()) {
        ApplyFailure(QStringLiteral("服务返回的待办数据无法读取"));
        return;
    }
    QList<TKxQueueFigure> figures;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        auto text = [&](const char* n) { return ds.FieldByName(QLatin1String(n))->AsString(); };
        figures.append({text("queue"), text("caption"), text("seller_nick"), ds.FieldByName(QStringLiteral("num"))->AsString().toLongLong(),
                        text("amount"), ds.FieldByName(QStringLiteral("mod_id"))->AsInteger(), text("mod_name"),
                        text("conditions").split(u'\n', Qt::SkipEmptyParts)});
    }
    std::stable_sort(figures.begin(), figures.end(),
                     [](const TKxQueueFigure& a, const TKxQueueFigure& b) { return tileRank(a.queue) < tileRank(b.queue); });
    m_figures = figures;
    m_loaded = true;
    m_loadedAt = KxNow();
    m_note->clear();
    m_note->setToolTip(QString());
    rebuild();
    Q_EMIT Updated();
}

void TKxHomeQueues::ApplyFailure(const QString& failure)
{
    // No message box: the operator did not ask, and the last figures are still worth seeing.
    const QString now = KxNow().toString(QStringLiteral("HH:mm"));
    m_note->setText(m_loaded ? QStringLiteral("%1 刷新失败，显示的是 %2 的数据").arg(now, m_loadedAt.toString(QStringLiteral("HH:mm")))
                             : QStringLiteral("%1 暂时无法读取待办事项").arg(now));
    m_note->setToolTip(failure);
    Q_EMIT Updated();
}

void TKxHomeQueues::Clear()
{
    m_figures.clear();
    m_loaded = false;
    m_note->clear();
    rebuild();
}

QString TKxHomeQueues::Note() const
{
    return m_note->text();
}

QList<TKxQueueFigure> TKxHomeQueues::Shown() const
{
    QList<TKxQueueFigure> shown;
    for (const TKxQueueFigure& f : m_figures)
        if (!CanOpen || CanOpen(f.modId))
            shown.append(f);
    return shown;
}

void TKxHomeQueues::OpenShown(int index)
{
    const QList<TKxQueueFigure> shown = Shown();
    if (index < 0 || index >= shown.size() || !OpenModule)
        return;
    OpenModule(shown[index].modId, shown[index].conditions);
}

void TKxHomeQueues::rebuild()
{
    qDeleteAll(m_built);
    m_built.clear();
    m_tileList.clear();
    m_columns = 0;
    const QList<TKxQueueFigure> shown = Shown();
    int tiles = 0, waiting = 0, shops = 0;
    bool orders = false;
    for (int i = 0; i < shown.size(); ++i) {
        const TKxQueueFigure& f = shown[i];
        auto open = [this, i] { OpenShown(i); };
        orders = orders || f.modName == u"Trade.Module";
        if (f.queue == u"today") {
            auto* line = new TShopLine(f, open, m_shops);
            m_shopRows->addWidget(line);
            m_built.append(line);
            ++shops;
            continue;
        }
        auto* tile = new TQueueTile(f, open, m_tiles);
        m_built.append(tile);
        m_tileList.append(tile);
        ++tiles;
        waiting += f.num > 0;
    }
    placeTiles();
    m_stamp->setText(m_loaded ? QStringLiteral("更新于 ") + m_loadedAt.toString(QStringLiteral("HH:mm")) : QStringLiteral("正在读取…"));
    m_tiles->setVisible(waiting > 0);
    m_quiet->setVisible(m_loaded && waiting == 0);
    m_shops->setVisible(orders);
    m_noOrders->setVisible(shops == 0);
    // The page paints its welcome in the room the queues leave.
    if (parentWidget())
        parentWidget()->update();
}

void TKxHomeQueues::placeTiles()
{
    // As many tiles a row as the page is wide: they keep their size and stay aligned.
    const int columns = qBound(1, (width() + kTileGap) / (kTileWidth + kTileGap), kMaxColumns);
    if (columns == m_columns)
        return;
    m_columns = columns;
    for (QWidget* tile : m_tileList)
        m_tileGrid->removeWidget(tile);
    for (int i = 0; i < m_tileList.size(); ++i)
        m_tileGrid->addWidget(m_tileList[i], i / columns, i % columns);
}

void TKxHomeQueues::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeTiles();
}
