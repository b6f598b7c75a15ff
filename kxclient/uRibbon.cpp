#include "uRibbon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kLargeIcon = 32;
constexpr int kBandHeight = 92;
}

TKxRibbonGroup::TKxRibbonGroup(const QString& caption, QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("ribbonGroup"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 3, 4, 1);
    v->setSpacing(0);
    m_buttons = new QHBoxLayout;
    m_buttons->setSpacing(2);
    v->addLayout(m_buttons, 1);
    m_caption = new QLabel(caption, this);
    m_caption->setObjectName(QStringLiteral("ribbonGroupCaption"));
    m_caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    v->addWidget(m_caption);
}

QToolButton* TKxRibbonGroup::AddLargeButton(const QString& caption, const QIcon& icon)
{
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("ribbonLargeButton"));
    b->setText(caption);
    b->setIcon(icon);
    b->setIconSize(QSize(kLargeIcon, kLargeIcon));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumWidth(56);
    b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_buttons->addWidget(b);
    return b;
}

QString TKxRibbonGroup::Caption() const
{
    return m_caption->text();
}

QList<QToolButton*> TKxRibbonGroup::Buttons() const
{
    return findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
}

TKxRibbon::TKxRibbon(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("ribbon"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("ribbonTabs"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    v->addWidget(m_tabs);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("ribbonBand"));
    m_pages->setFixedHeight(kBandHeight);
    v->addWidget(m_pages);
    connect(m_tabs, &QTabBar::currentChanged, m_pages, &QStackedWidget::setCurrentIndex);
}

int TKxRibbon::AddTab(const QString& caption)
{
    auto* page = new QWidget(m_pages);
    auto* h = new QHBoxLayout(page);
    h->setContentsMargins(4, 2, 4, 2);
    h->setSpacing(0);
    h->addStretch(1);
    m_pages->addWidget(page);
    return m_tabs->addTab(caption);
}

TKxRibbonGroup* TKxRibbon::AddGroup(int tab, const QString& caption)
{
    QWidget* page = m_pages->widget(tab);
    auto* h = static_cast<QHBoxLayout*>(page->layout());
    auto* g = new TKxRibbonGroup(caption, page);
    h->insertWidget(h->count() - 1, g); // before the closing stretch
    return g;
}

void TKxRibbon::Clear()
{
    while (m_tabs->count() > 0)
        m_tabs->removeTab(m_tabs->count() - 1);
    while (m_pages->count() > 0) {
        QWidget* w = m_pages->widget(m_pages->count() - 1);
        m_pages->removeWidget(w);
        delete w;
    }
}

int TKxRibbon::TabCount() const
{
    return m_tabs->count();
}

QString TKxRibbon::TabCaption(int tab) const
{
    return m_tabs->tabText(tab);
}

QList<TKxRibbonGroup*> TKxRibbon::Groups(int tab) const
{
    QWidget* page = m_pages->widget(tab);
    return page ? page->findChildren<TKxRibbonGroup*>(QString(), Qt::FindDirectChildrenOnly)
                : QList<TKxRibbonGroup*>();
}

int TKxRibbon::CurrentTab() const
{
    return m_tabs->currentIndex();
}

void TKxRibbon::SetCurrentTab(int tab)
{
    m_tabs->setCurrentIndex(tab);
}
