#pragma once
// A ribbon: a row of tabs over a band of captioned groups, each group a row of large
// buttons with their pictures above their captions.
#include <QFrame>
#include <QIcon>
#include <QList>

class QHBoxLayout;
class QLabel;
class QStackedWidget;
class QTabBar;
class QToolButton;

class TKxRibbonGroup : public QFrame {
    Q_OBJECT
public:
    TKxRibbonGroup(const QString& caption, QWidget* parent);
    QToolButton* AddLargeButton(const QString& caption, const QIcon& icon);
    QString Caption() const;
    QList<QToolButton*> Buttons() const;

private:
    QHBoxLayout* m_buttons;
    QLabel* m_caption;
};

class TKxRibbon : public QFrame {
    Q_OBJECT
public:
    explicit TKxRibbon(QWidget* parent = nullptr);

    int AddTab(const QString& caption);  // index of the new tab
    TKxRibbonGroup* AddGroup(int tab, const QString& caption);
    void Clear();                          // removes every tab with its groups
    int TabCount() const;
    QString TabCaption(int tab) const;
    QList<TKxRibbonGroup*> Groups(int tab) const;
    int CurrentTab() const;
    void SetCurrentTab(int tab);

private:
    QTabBar* m_tabs;
    QStackedWidget* m_pages;
};
