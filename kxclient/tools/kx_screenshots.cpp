// kx_screenshots <folder> [service url]: logs in to a running demo service as the demo seller and saves a
// picture of each kind of window into <folder>: login (also after a wrong password), the main
// window, every module tab, and what their tools open (column settings, print preview, edit
// windows, pickers, search dialogs, message boxes). Run by tools/screenshots, which starts
// the service and an X server; compare the pictures before and after a change of the look.
#include "uFrmClient.h"
#include "uFrmLogon.h"
#include "uHttpWeb.h"
#include "uKXReport.h"
#include "uPClientDataSet.h"
#include "uPackages.h"
#include "uQtTranslations.h"
#include "uShell.h"
#include "uSkin.h"
#include "uUiHooks.h"
#include "ufrmBase.h"
#include "wire/uConfig.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

namespace {

QString g_dir;
int g_seq = 0;

void settle(int ms = 250)
{
    QTest::qWait(ms);
}

QString fileSafe(QString s)
{
    s = s.simplified();
    for (QChar& c : s)
        if (c == u'/' || c == u'\\' || c == u' ' || c == u':')
            c = u'_';
    return s.left(40);
}

void save(QWidget* w, const QString& kind, const QString& title)
{
    const QString name = QStringLiteral("%1-%2-%3.png").arg(++g_seq, 3, 10, QLatin1Char('0')).arg(kind, fileSafe(title));
    w->grab().save(QDir(g_dir).filePath(name));
    std::printf("%s\n", qPrintable(name));
    std::fflush(stdout);
}

// Shows what the program would show modally, takes its picture and closes it. Each window
// class is pictured once; message boxes every time (they say different things).
class TShotUi : public IKxUi {
public:
    QSet<QString> seen;
    // Clicked inside a modal window while it is shown (a picker from an edit window).
    std::function<void(QWidget*)> inside;

    int MessageBox(const QString& caption, const QString& text, TMsgIcon icon, int buttons) override
    {
        QMessageBox box(icon == TMsgIcon::Error ? QMessageBox::Critical : icon == TMsgIcon::Warning ? QMessageBox::Warning
                                                                            : QMessageBox::Information,
                        caption, text);
        if (buttons & mbCancel)
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.show();
        settle(150);
        save(&box, QStringLiteral("message"), text);
        return (buttons & mbCancel) ? mrCancel : (buttons & mbOK) ? mrOk : mrYes;
    }
    bool OpenUrl(const QString&) override { return true; }
    QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    int ShowModal(QWidget* w) override
    {
        const QString cls = QString::fromLatin1(w->metaObject()->className());
        if (seen.contains(cls))
            return mrCancel;
        seen.insert(cls);
        if (w->windowState() & Qt::WindowMaximized)
            w->resize(1280, 800);
        w->show();
        settle(400);
        save(w, QStringLiteral("modal-") + cls, w->windowTitle());
        if (inside) {
            auto run = std::move(inside);
            run(w);
        }
        w->hide();
        return mrCancel;
    }
};

QPushButton* tool(QWidget* w, const char* id)
{
    QPushButton* b = w->findChild<QPushButton*>(QString::fromLatin1(id));
    return b && b->isEnabled() && b->isVisibleTo(w) ? b : nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kx_screenshots <folder> [service url]\n");
        return 2;
    }
    g_dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_dir);
    if (argc > 2)
        KxSetServiceUrl(QString::fromLocal8Bit(argv[2]));
    const QString url = QStringLiteral("korvadex://varnoq_demo/");
    KxRegisterSkin(app);
    KxLoadQtTranslations(app);
    KxRegisterReportEngine();
    TShotUi ui;
    KxSetUi(&ui);
    KxSetTerminateHandler([] {});

    if (!KxDirectoryCall(KxProgramDir(), {url})) {
        std::fprintf(stderr, "kx_screenshots: the directory call failed (is the demo service running?)\n");
        return 1;
    }
    for (const QString& lib : KxPackageList())
        KxLoadPackage(KxPackageDir(), lib);

    TFrmClient client;
    {
        TFrmLogon logon;
        logon.show();
        settle(600);
        save(&logon, QStringLiteral("login"), QStringLiteral("登录"));
        // An open drop-down with its highlighted entry.
        logon.cxComboBox2->showPopup();
        settle(300);
        if (QWidget* popup = logon.cxComboBox2->view()->window()) {
            logon.cxComboBox2->view()->setCurrentIndex(logon.cxComboBox2->model()->index(1, 0));
            settle(100);
            save(popup, QStringLiteral("dropdown"), QStringLiteral("操作员"));
        }
        logon.cxComboBox2->hidePopup();
        logon.cxComboBox2->setCurrentIndex(qMax(0, logon.cxComboBox2->findData(QStringLiteral("admin"))));
        logon.cxTextEdit1->setText(QStringLiteral("wrong-password"));
        logon.cxButton2Click();
        settle(200);
        save(&logon, QStringLiteral("login"), QStringLiteral("密码错误之后"));
    }
    if (!client.Login(QStringLiteral("S01"), QStringLiteral("admin"), QStringLiteral("admin888"))) {
        std::fprintf(stderr, "kx_screenshots: the demo login failed\n");
        return 1;
    }
    client.resize(1280, 800);
    client.show();
    settle(600);
    save(&client, QStringLiteral("main"), QStringLiteral("主页"));

    QList<int> modIds;
    for (client.cds_module->First(); !client.cds_module->Eof(); client.cds_module->Next())
        modIds << client.cds_module->FieldByName(QStringLiteral("mod_id"))->AsInteger();
    QSet<QString> listKinds;
    for (int id : modIds) {
        const int before = client.cxPageControl1->count();
        client.OpenModule(id);
        settle(500);
        if (client.cxPageControl1->count() == before)
            continue; // a modal module, pictured by the UI facade
        QWidget* page = client.cxPageControl1->currentWidget();
        save(&client, QStringLiteral("tab"), client.cxPageControl1->tabText(client.cxPageControl1->currentIndex()));
        const QString kind = QString::fromLatin1(page->findChild<TfrmBase*>() ? page->findChild<TfrmBase*>()->metaObject()->className()
                                                                               : page->metaObject()->className());
        if (listKinds.contains(kind))
            continue;
        listKinds.insert(kind);
        for (const char* id : {"dxBL_Columns", "dxBL_Preview"})
            if (QPushButton* b = tool(page, id))
                b->click();
        if (QPushButton* b = tool(page, "dxBL_Edit")) {
            // In the edit window, the product picker of the first line.
            ui.inside = [](QWidget* edit) {
                if (QPushButton* insert = tool(edit, "dxBL_Insert"))
                    insert->click();
            };
            b->click();
            ui.inside = {};
        }
    }
    // A failed connection, as the operator reads it.
    KxSetServiceUrl(QStringLiteral("http://127.0.0.1:9/"));
    THttpWeb web;
    web.setModule(QStringLiteral("PowerMger.Module"));
    web.SendData();
    return 0;
}
