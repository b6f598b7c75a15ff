#include "uFrmClient.h"
#include "uArt.h"
#include "uCallModule.h"
#include "uHomeQueues.h"
#include "uHttpWeb.h"
#include "uQuietCalls.h"
#include "uPClientDataSet.h"
#include "uRibbon.h"
#include "uShell.h"
#include "uUiHooks.h"
#include "ufrmBase.h"
#include "wire/uConfig.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {

TFrmClient* instance = nullptr;
const char* kTag = "tag";
const char* kConditions = "conditions"; // the fixed conditions a module tab was opened on

// The home tab: the help and contact pictures at its top right, the work queues below them,
// and a welcome where room is left.
class THomePage : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* Queues = nullptr;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QRect free = rect();
        if (Queues && Queues->isVisible())
            free.setTop(Queues->geometry().bottom() + 16);
        KxPaintHome(p, rect(), free);
    }
};

// A picture that opens a link of the directory answer when clicked.
class TLinkPicture : public QLabel {
public:
    TLinkPicture(const QPixmap& pm, const QString& hint, Qt::CursorShape cursor, QString param, QWidget* parent)
        : QLabel(parent), m_param(std::move(param))
    {
        setPixmap(pm);
        setToolTip(hint);
        setCursor(cursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        // Only web and mail links leave the program, whatever the service sends.
        const QString url = KxDirectoryParam(m_param);
        if (KxIsWebUrl(url, true))
            KxUi().OpenUrl(url);
    }

private:
    QString m_param;
};

bool loadTable(TPClientDataSet& ds, const QString& xml)
{
    // An absent table is an empty one, not a broken packet.
    if (xml.trimmed().isEmpty()) {
        ds.Close();
        return false;
    }
    return ds.SetKXXMLData(xml) && ds.Active();
}

int intField(TPClientDataSet& ds, const char* name)
{
    return ds.FieldByName(QString::fromLatin1(name))->AsInteger();
}

QString textField(TPClientDataSet& ds, const char* name)
{
    return ds.FieldByName(QString::fromLatin1(name))->AsString();
}

} // namespace

QIcon KxNavPicture(const QString& fileName)
{
    if (!KxIsPlainFileName(fileName))
        return QIcon();
    const QString path = KxProgramDir() + QStringLiteral("/image/") + fileName;
    if (!QFileInfo(path).isFile())
        return QIcon();
    const QPixmap pm(path);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

TFrmClient::TFrmClient(QWidget* parent) : QMainWindow(parent), m_nav(std::make_unique<TNavMager>())
{
    instance = this;
    KxSetSessionExpiredHandler([this] { Relogin(); });
    setObjectName(QStringLiteral("FrmClient"));
    setWindowTitle(KxAppTitle());
    m_baseCaption = windowTitle();
    setWindowIcon(KxStartIcon());
    resize(947, 688);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    cds_menu = new TPClientDataSet(this);
    cds_module = new TPClientDataSet(this);

    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    dxRibbon1 = new TKxRibbon(central);
    v->addWidget(dxRibbon1);

    cxSplitter1 = new QSplitter(Qt::Horizontal, central);
    cxSplitter1->setHandleWidth(8);
    cxSplitter1->setChildrenCollapsible(false);
    cxTreeView1 = new QTreeWidget(cxSplitter1);
    cxTreeView1->setObjectName(QStringLiteral("menuTree"));
    cxTreeView1->setHeaderHidden(true);
    cxTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cxTreeView1->setUniformRowHeights(true);
    cxTreeView1->setIconSize(QSize(16, 16));
    cxTreeView1->setMinimumWidth(120);
    cxTreeView1->setVisible(false);
    cxPageControl1 = new QTabWidget(cxSplitter1);
    cxPageControl1->setObjectName(QStringLiteral("pageControl"));
    cxPageControl1->setTabsClosable(true);
    cxPageControl1->setDocumentMode(true);
    cxPageControl1->setUsesScrollButtons(true);
    cxSplitter1->setStretchFactor(1, 1);
    cxSplitter1->setSizes({160, 787});
    v->addWidget(cxSplitter1, 1);
    setCentralWidget(central);

    // The tab list: jump to any open tab.
    auto* tabList = new QToolButton(cxPageControl1);
    tabList->setObjectName(QStringLiteral("tabListButton"));
    tabList->setArrowType(Qt::DownArrow);
    tabList->setAutoRaise(true);
    tabList->setPopupMode(QToolButton::InstantPopup);
    auto* tabMenu = new QMenu(tabList);
    tabList->setMenu(tabMenu);
    connect(tabMenu, &QMenu::aboutToShow, this, [this, tabMenu] {
        tabMenu->clear();
        for (int i = 0; i < cxPageControl1->count(); ++i)
            tabMenu->addAction(KxTrimLow(cxPageControl1->tabText(i)),
                               [this, i] { cxPageControl1->setCurrentIndex(i); });
    });
    cxPageControl1->setCornerWidget(tabList, Qt::TopRightCorner);

    TabSheetHome = CreateHomeTab();
    cxPageControl1->addTab(TabSheetHome, QStringLiteral(" 主页 "));
    cxPageControl1->tabBar()->setTabButton(0, QTabBar::RightSide, nullptr);
    cxPageControl1->tabBar()->setTabButton(0, QTabBar::LeftSide, nullptr);

    // Status bar: start menu, shop, operator, version.
    auto* startPanel = new QWidget(this);
    auto* sh = new QHBoxLayout(startPanel);
    sh->setContentsMargins(0, 0, 0, 0);
    StatusPanels[0] = new QLabel(startPanel);
    StatusPanels[0]->hide();
    for (int i = 1; i < 4; ++i)
        StatusPanels[i] = new QLabel(this);
    StatusPanels[1]->setObjectName(QStringLiteral("shopPanel"));
    StatusPanels[1]->setFixedWidth(200);
    StatusPanels[1]->setStyleSheet(QStringLiteral("color: maroon;"));
    StatusPanels[2]->setFixedWidth(200);
    StatusPanels[3]->setText(QStringLiteral("Version " KX_VERSION));
    statusBar()->addWidget(startPanel);
    statusBar()->addWidget(StatusPanels[1]);
    statusBar()->addWidget(StatusPanels[2]);
    statusBar()->addWidget(StatusPanels[3], 1);
    statusBar()->setSizeGripEnabled(true);

    connect(cxPageControl1, &QTabWidget::tabCloseRequested, this, &TFrmClient::CloseTab);
    connect(cxPageControl1, &QTabWidget::tabBarDoubleClicked, this,
            [this](int) { CloseTab(cxPageControl1->currentIndex()); });
    connect(cxPageControl1, &QTabWidget::currentChanged, this, &TFrmClient::TabChanged);
    connect(cxTreeView1, &QTreeWidget::itemDoubleClicked, this, &TFrmClient::TreeDblClick);
    // Rights given since the login show without logging in again.
    cxTreeView1->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* refresh = new QAction(QStringLiteral("刷新菜单"), cxTreeView1);
    refresh->setObjectName(QStringLiteral("actRefreshMenu"));
    cxTreeView1->addAction(refresh);
    connect(refresh, &QAction::triggered, this, [this] { RefreshNavigation(); });
    // Enter opens the entry under the cursor, as a double click does.
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(QKeySequence(key), cxTreeView1);
        enter->setContext(Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this, [this] { TreeDblClick(cxTreeView1->currentItem()); });
    }
    connect(cxTreeView1, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (item != cxTreeView1->topLevelItem(0) && item->childCount() > 0)
            item->setIcon(0, KxTreeIcon(2));
    });
    connect(cxTreeView1, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (item != cxTreeView1->topLevelItem(0) && item->childCount() > 0)
            item->setIcon(0, KxTreeIcon(1));
    });

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TFrmClient::Timer1Timer);
    Timer1->start();
    TimerMax = new QTimer(this);
    TimerMax->setInterval(100);
    connect(TimerMax, &QTimer::timeout, this, [this] {
        TimerMax->stop();
        setWindowState(windowState() | Qt::WindowMaximized);
    });
}

TFrmClient::~TFrmClient()
{
    if (instance == this) {
        instance = nullptr;
        KxSetSessionExpiredHandler({});
    }
}

void TFrmClient::Relogin()
{
    // The login dialog comes as the service's module, whose description needs no session.
    // Closing it without logging in ends the program, as at start-up.
    QPointer<TfrmBase> frm = CallModule(this, QStringLiteral("System.Logon"));
    if (!frm)
        return;
    const int result = frm->ShowModule();
    delete frm;
    if (result != mrOk && !KxTerminated())
        KxTerminate();
}

TFrmClient* TFrmClient::Instance()
{
    return instance;
}

QWidget* TFrmClient::CreateHomeTab()
{
    auto* home = new THomePage(cxPageControl1);
    home->setProperty(kTag, -1);
    auto* v = new QVBoxLayout(home);
    v->setContentsMargins(12, 12, 16, 12);
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    top->addWidget(new TLinkPicture(KxHelpPicture(), QStringLiteral("查看帮助！！"), Qt::WhatsThisCursor,
                                    QStringLiteral("help"), home));
    top->addSpacing(8);
    top->addWidget(new TLinkPicture(KxContactPicture(), QStringLiteral("有事儿您Ｑ我！！"), Qt::PointingHandCursor,
                                    QStringLiteral("qq"), home));
    v->addLayout(top);
    v->addSpacing(4);
    HomeQueues = new TKxHomeQueues(home);
    HomeQueues->CanOpen = [this](int modId) { return HasModule(modId); };
    HomeQueues->OpenModule = [this](int modId, const QStringList& conditions) { OpenModule(modId, conditions); };
    home->Queues = HomeQueues;
    v->addWidget(HomeQueues);
    v->addStretch(1);
    return home;
}

void TFrmClient::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        TimerMax->start();
    }
}

bool TFrmClient::Login(const QString& shopCode, const QString& operCode, const QString& password)
{
    THttpWeb web;
    web.setModule(KxDirectoryParam(QStringLiteral("loginsys")));
    web.setNickid(gNickId);
    web.setOperid(gOperId);
    web.Request()->AddParams(QStringLiteral("shopcode"), shopCode);
    web.Request()->AddParams(QStringLiteral("usercode"), operCode);
    web.Request()->AddParams(QStringLiteral("password"), password);
    if (!web.SendData())
        return false;
    const TResponse& answer = *web.Response();
    gShopId = shopCode;
    gShopName = answer.GetParam(QStringLiteral("shopname"));
    gOperId = operCode;
    gOperName = answer.GetParam(QStringLiteral("username"));
    gSessionKey = answer.GetParam(QStringLiteral("sessionkey"));
    ClearNavigation();
    StatusPanels[1]->setText(QStringLiteral("    门店:[") + shopCode + QStringLiteral("] ") + gShopName);
    StatusPanels[2]->setText(QStringLiteral("  操作员:[") + operCode + QStringLiteral("] ") + gOperName);
    BuildNavigation(answer);
    // The new operator's queues, asked for while the window comes up.
    HomeQueues->Clear();
    HomeQueues->Refresh();
    return true;
}

void TFrmClient::ClearNavigation()
{
    delete StartToolBar;
    StartToolBar = nullptr;
    dxRibbon1->Clear();
    for (int i = cxPageControl1->count() - 1; i >= 0; --i)
        if (cxPageControl1->widget(i) != TabSheetHome)
            delete cxPageControl1->widget(i);
}

bool TFrmClient::HasModule(int modId) const
{
    return cds_module->Active() && cds_module->Lookup(QStringLiteral("mod_id"), modId, QStringLiteral("mod_id")).isValid();
}

namespace {
QString navSignature(const TResponse& answer)
{
    QString s;
    for (const char* table : {"kx_menu", "kx_module", "kx_nav", "kx_nav_bar", "kx_nav_but", "kx_start_but"})
        s += answer.GetParam(QLatin1String(table)) + QLatin1Char('\n');
    return s;
}
// The window asks again by itself at most this often.
constexpr qint64 kNavCheckMs = 10'000;
}

bool TFrmClient::RefreshNavigation(bool quiet)
{
    const QString method = KxDirectoryParam(QStringLiteral("navigation"));
    if (method.isEmpty() || m_navSignature.isEmpty())
        return false;
    m_navCheckedAt = QDateTime::currentMSecsSinceEpoch();
    std::unique_ptr<TKxQuietCalls> silent(quiet ? new TKxQuietCalls : nullptr);
    THttpWeb web;
    web.setModule(method);
    web.setNickid(gNickId);
    web.setOperid(gOperId);
    if (!web.SendData() || navSignature(*web.Response()) == m_navSignature)
        return false;
    delete StartToolBar;
    StartToolBar = nullptr;
    dxRibbon1->Clear();
    BuildNavigation(*web.Response());
    return true;
}

void TFrmClient::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_navSignature.isEmpty()
        && QDateTime::currentMSecsSinceEpoch() - m_navCheckedAt >= kNavCheckMs && !QApplication::activeModalWidget())
        QTimer::singleShot(0, this, [this] { RefreshNavigation(true); });
}

void TFrmClient::BuildNavigation(const TResponse& answer)
{
    m_navSignature = navSignature(answer);
    m_navCheckedAt = QDateTime::currentMSecsSinceEpoch();
    loadTable(*cds_menu, answer.GetParam(QStringLiteral("kx_menu")));
    loadTable(*cds_module, answer.GetParam(QStringLiteral("kx_module")));

    m_nav->Clear();
    TPClientDataSet ds;
    if (loadTable(ds, answer.GetParam(QStringLiteral("kx_nav"))))
        for (ds.First(); !ds.Eof(); ds.Next())
            m_nav->Add(intField(ds, "nav_id"), textField(ds, "nav_name"));
    if (loadTable(ds, answer.GetParam(QStringLiteral("kx_nav_bar"))))
        for (ds.First(); !ds.Eof(); ds.Next())
            if (TNav* nav = m_nav->FindNav(intField(ds, "nav_id")))
                nav->AddBar(intField(ds, "bar_id"), textField(ds, "bar_name"));
    if (loadTable(ds, answer.GetParam(QStringLiteral("kx_nav_but"))))
        for (ds.First(); !ds.Eof(); ds.Next()) {
            const int modId = intField(ds, "mod_id");
            if (!HasModule(modId))
                continue;
            if (TBar* bar = m_nav->FindBar(intField(ds, "bar_id")))
                bar->AddBut(intField(ds, "but_id"), textField(ds, "but_name"), modId, textField(ds, "but_image"));
        }
    BuildStartMenu(answer.GetParam(QStringLiteral("kx_start_but")));
    PruneMenu(answer.GetParam(QStringLiteral("kx_menu")));
    BuildTree();
    BuildRibbon();
}

void TFrmClient::BuildStartMenu(const QString& xml)
{
    TPClientDataSet ds;
    if (!loadTable(ds, xml) || ds.IsEmpty())
        return;
    QWidget* panel = StatusPanels[0]->parentWidget();
    StartToolBar = new QToolBar(QStringLiteral("开始菜单"), panel);
    StartToolBar->setObjectName(QStringLiteral("startToolBar"));
    StartToolBar->setIconSize(QSize(16, 16));
    panel->layout()->addWidget(StartToolBar);
    auto* drop = new QToolButton(StartToolBar);
    drop->setObjectName(QStringLiteral("startMenuButton"));
    drop->setText(QStringLiteral("开始菜单"));
    drop->setIcon(KxStartIcon());
    drop->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    drop->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(drop);
    drop->setMenu(menu);
    StartToolBar->addWidget(drop);
    for (ds.First(); !ds.Eof(); ds.Next()) {
        const QString name = textField(ds, "but_name");
        if (name == u"-") {
            menu->addSeparator();
            continue;
        }
        const int modId = intField(ds, "mod_id");
        if (!HasModule(modId))
            continue;
        menu->addAction(KxNavPicture(textField(ds, "but_image")), name, this, [this, modId] { OpenModule(modId); });
    }
    StartToolBar->setVisible(true);
}

void TFrmClient::PruneMenu(const QString& xml)
{
    TPClientDataSet all;
    if (!cds_menu->Active() || !loadTable(all, xml))
        return;
    cds_menu->First();
    while (!cds_menu->Eof()) {
        if (intField(*cds_menu, "mod_id") != 0) {
            cds_menu->Next();
            continue;
        }
        // A folder stays only when it directly holds a module entry.
        all.SetFilter(QStringLiteral("mod_id>0 and parent_id=") + QString::number(intField(*cds_menu, "menu_id")));
        all.SetFiltered(true);
        if (all.RecordCount() > 0)
            cds_menu->Next();
        else
            cds_menu->Delete();
    }
}

void TFrmClient::BuildTree()
{
    cxTreeView1->clear();
    auto* root = new QTreeWidgetItem(cxTreeView1, {QStringLiteral("系统菜单")});
    root->setIcon(0, KxTreeIcon(0));

    QList<TMenuEntry> entries;
    if (cds_menu->Active())
        for (cds_menu->First(); !cds_menu->Eof(); cds_menu->Next())
            entries.append({intField(*cds_menu, "parent_id"), intField(*cds_menu, "menu_id"),
                            textField(*cds_menu, "menu_title"), intField(*cds_menu, "mod_id")});
    ArrangeMenu(entries);

    QTreeWidgetItem* current = root;
    for (const TMenuEntry& e : entries) {
        QTreeWidgetItem* parent = current;
        while (parent != root && parent->data(0, Qt::UserRole).toInt() != e.ParentId)
            parent = parent->parent();
        auto* node = new QTreeWidgetItem(parent, {e.Title});
        node->setData(0, Qt::UserRole, e.MenuId);
        node->setIcon(0, KxTreeIcon(e.ModId != 0 ? 3 : 1));
        current = node;
    }
    root->setExpanded(true);
    cxTreeView1->setVisible(!entries.isEmpty());
    fitTreeWidth();
}

void TFrmClient::fitTreeWidth()
{
    // Wide enough for the longest entry at its depth, folded or not, within a third of the
    // window.
    const QFontMetrics fm(cxTreeView1->font());
    int widest = 0;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        widest = qMax(widest, (depth + 1) * cxTreeView1->indentation() + cxTreeView1->iconSize().width()
                                  + fm.horizontalAdvance(item->text(0)) + 24);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < cxTreeView1->topLevelItemCount(); ++i)
        walk(cxTreeView1->topLevelItem(i), 0);
    const int width = qBound(160, widest + cxTreeView1->verticalScrollBar()->sizeHint().width(), qMax(160, this->width() / 3));
    cxTreeView1->setMinimumWidth(qMin(width, 240));
    const int total = qMax(cxSplitter1->width(), width + 400);
    cxSplitter1->setSizes({width, total - width});
}

void TFrmClient::BuildRibbon()
{
    for (int n = 0; n < m_nav->Count(); ++n) {
        TNav* nav = m_nav->Item(n);
        if (!nav->HasButton())
            continue;
        nav->RibbonTab = dxRibbon1->AddTab(nav->Name);
        for (int b = 0; b < nav->BarCount(); ++b) {
            TBar* bar = nav->Bar(b);
            if (!bar->HasButton())
                continue;
            TKxRibbonGroup* group = dxRibbon1->AddGroup(nav->RibbonTab, bar->Name);
            bar->ToolBar = group;
            for (int i = 0; i < bar->ButCount(); ++i) {
                TBut* but = bar->But(i);
                QToolButton* button = group->AddLargeButton(but->Name, KxNavPicture(but->Image));
                const int modId = but->ModId;
                connect(button, &QToolButton::clicked, this, [this, modId] { OpenModule(modId); });
                but->Button = button;
            }
        }
    }
    dxRibbon1->setVisible(dxRibbon1->TabCount() > 0);
}

void TFrmClient::TreeDblClick(QTreeWidgetItem* item)
{
    const QVariant menuId = item ? item->data(0, Qt::UserRole) : QVariant();
    if (!menuId.isValid() || !cds_menu->Active())
        return;
    if (cds_menu->Locate(QStringLiteral("menu_id"), menuId.toInt()))
        OpenModule(intField(*cds_menu, "mod_id"));
}

void TFrmClient::OpenModule(int modId, const QStringList& conditions)
{
    for (int i = 0; i < cxPageControl1->count(); ++i) {
        QWidget* page = cxPageControl1->widget(i);
        if (page->property(kTag).toInt() == modId
            && (conditions.isEmpty() || page->property(kConditions).toStringList() == conditions)) {
            cxPageControl1->setCurrentIndex(i);
            return;
        }
    }
    if (!HasModule(modId) || !cds_module->Locate(QStringLiteral("mod_id"), modId))
        return;
    QPointer<TfrmBase> frm = CallModule(this, textField(*cds_module, "mod_name"));
    if (!frm)
        return;
    frm->FixedConditions() << conditions;
    if (!frm->IsModal()) {
        auto* page = new QWidget(this);
        page->setProperty(kTag, modId);
        page->setProperty(kConditions, conditions);
        auto* lay = new QVBoxLayout(page);
        lay->setContentsMargins(0, 0, 0, 0);
        frm->DockInto(page);
        const int index = cxPageControl1->addTab(page, u' ' + frm->GetParam(QStringLiteral("moduletitle")) + u' ');
        cxPageControl1->setCurrentIndex(index);
    }
    if (frm->ShowModule() == mrOk && frm)
        frm->close();
}

bool TFrmClient::ChangePassword(const QString& oldPassword, const QString& newPassword)
{
    THttpWeb web;
    web.setModule(KxDirectoryParam(QStringLiteral("modifypsw")));
    web.setNickid(gNickId);
    web.setOperid(gOperId);
    web.Request()->AddParams(QStringLiteral("oldpassword"), oldPassword);
    web.Request()->AddParams(QStringLiteral("newpassword"), newPassword);
    return web.SendData();
}

bool TFrmClient::CloseTab(int index)
{
    QWidget* page = cxPageControl1->widget(index);
    if (!page || page == TabSheetHome)
        return false;
    for (TfrmBase* frm : page->findChildren<TfrmBase*>(QString(), Qt::FindDirectChildrenOnly))
        if (!frm->close())
            return false;
    delete page; // the module window goes with its tab
    return true;
}

void TFrmClient::closeEvent(QCloseEvent* event)
{
    for (int i = cxPageControl1->count() - 1; i >= 0; --i) {
        if (cxPageControl1->widget(i) == TabSheetHome)
            continue;
        cxPageControl1->setCurrentIndex(i); // the window that may ask is the one shown
        if (!CloseTab(i)) {
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

void TFrmClient::TabChanged(int index)
{
    // Back on the home tab: what waits may have changed meanwhile.
    if (index >= 0 && cxPageControl1->widget(index) == TabSheetHome && !gSessionKey.isEmpty())
        HomeQueues->Refresh();
    if (index >= 0)
        setWindowTitle(m_baseCaption + QStringLiteral(" --- ") + KxTrimLow(cxPageControl1->tabText(index)));
}

void TFrmClient::Timer1Timer()
{
    Timer1->stop();
    QWidget* page = cxPageControl1->currentWidget();
    // A module window that closed itself leaves its tab empty.
    if (page && page != TabSheetHome
        && page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).isEmpty())
        page->deleteLater();
    Timer1->start();
}
