#pragma once
// The main window: menu tree, ribbon, module tabs, status bar. Performs the login for the
// login dialog and opens modules by id.
#include "uNavMager.h"

#include <QMainWindow>
#include <memory>

class QLabel;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TKxHomeQueues;
class TKxRibbon;
class TPClientDataSet;
class TResponse;

class TFrmClient : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrmClient(QWidget* parent = nullptr);
    ~TFrmClient() override;

    // The one main window while it exists.
    static TFrmClient* Instance();

    bool Login(const QString& shopCode, const QString& operCode, const QString& password);
    // The session ended under a running program (the service's answer, already shown, says
    // so): the login dialog again.
    void Relogin();
    // With conditions, the module gets them as its fixed conditions (a module already open on
    // the same conditions is brought forward; on others a new tab opens).
    void OpenModule(int modId, const QStringList& conditions = {});
    bool ChangePassword(const QString& oldPassword, const QString& newPassword);

    // Builds the navigation from the six tables of a login answer.
    void BuildNavigation(const TResponse& answer);
    // Asks the service for the operator's navigation as it is now and rebuilds the menu tree,
    // ribbon and start menu when the rights changed since (module tabs stay open). Quiet: a
    // failure is not shown (the refresh the window makes by itself). True when rebuilt.
    bool RefreshNavigation(bool quiet = false);

    QTreeWidget* cxTreeView1;
    QSplitter* cxSplitter1;
    QTabWidget* cxPageControl1;
    QWidget* TabSheetHome;
    TKxHomeQueues* HomeQueues; // the work queues on the home tab
    TKxRibbon* dxRibbon1;
    QLabel* StatusPanels[4];
    QToolBar* StartToolBar = nullptr; // the start menu, when the service gives one
    QTimer* Timer1;
    QTimer* TimerMax;
    TPClientDataSet* cds_menu;
    TPClientDataSet* cds_module;
    TNavMager& NavMager() { return *m_nav; }
    QString BaseCaption() const { return m_baseCaption; }

    // Closes a module tab (not the home tab); false when refused, by the home tab or by its
    // module window (one with unsaved changes asks first).
    bool CloseTab(int index);

protected:
    void showEvent(QShowEvent* event) override;
    // Coming back to the window, the navigation follows rights changed meanwhile.
    void changeEvent(QEvent* event) override;
    // The module tabs close first; when one of them refuses, the program stays open.
    void closeEvent(QCloseEvent* event) override;

private:
    void ClearNavigation();
    void BuildStartMenu(const QString& xml);
    void PruneMenu(const QString& xml);
    void BuildTree();
    void fitTreeWidth();
    void BuildRibbon();
    void Timer1Timer();
    void TabChanged(int index);
    void TreeDblClick(QTreeWidgetItem* item);
    QWidget* CreateHomeTab();
    bool HasModule(int modId) const;

    std::unique_ptr<TNavMager> m_nav;
    QString m_baseCaption;
    bool m_shownOnce = false;
    QString m_navSignature;     // the navigation tables last built
    qint64 m_navCheckedAt = 0;  // when the window last asked for them (ms since the epoch)
};

// Pictures named by the service, from image/ beside the program; null when absent.
QIcon KxNavPicture(const QString& fileName);
