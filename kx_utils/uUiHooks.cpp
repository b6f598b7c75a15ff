#include "uUiHooks.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QUrl>
#include <QWidget>

namespace {

class TRealUi final : public IKxUi {
public:
    int MessageBox(const QString& caption, const QString& text, TMsgIcon icon, int buttons) override
    {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            qWarning("%s: %s", qPrintable(caption), qPrintable(text));
            return (buttons & mbOK) ? mrOk : mrYes;
        }
        QMessageBox box(iconOf(icon), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
        if (buttons & mbOK) box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole)->setProperty("mr", mrOk);
        if (buttons & mbYes) box.addButton(QStringLiteral("是"), QMessageBox::YesRole)->setProperty("mr", mrYes);
        if (buttons & mbNo) box.addButton(QStringLiteral("否"), QMessageBox::NoRole)->setProperty("mr", mrNo);
        if (buttons & mbCancel) box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole)->setProperty("mr", mrCancel);
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        if (!clicked)
            return (buttons & mbCancel) ? mrCancel : (buttons & mbNo) ? mrNo : mrOk;
        return clicked->property("mr").toInt();
    }

    bool OpenUrl(const QString& url) override { return QDesktopServices::openUrl(QUrl(url)); }

    QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    }

    QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, dir, filter);
    }

    int ShowModal(QWidget* window) override
    {
        if (auto* dlg = qobject_cast<QDialog*>(window))
            return dlg->exec();
        // A plain window shown modally: run a local loop until it is hidden or destroyed.
        window->setWindowModality(Qt::ApplicationModal);
        // Over the middle of the window it was opened from (a picker over its form), unless
        // it placed itself.
        const QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
        if (owner && owner != window && owner->isVisible() && !window->testAttribute(Qt::WA_Moved)
            && !(window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            window->move(owner->frameGeometry().center() - QPoint(window->width() / 2, window->height() / 2));
        window->show();
        QEventLoop loop;
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        struct HideWatcher : QObject {
            QEventLoop* loop;
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::Hide)
                    loop->quit();
                return false;
            }
        } watcher;
        watcher.loop = &loop;
        window->installEventFilter(&watcher);
        QPointer<QWidget> guard(window);
        loop.exec();
        if (!guard)
            return mrCancel;
        window->removeEventFilter(&watcher);
        return window->property("modalResult").toInt();
    }

private:
    static QMessageBox::Icon iconOf(TMsgIcon i)
    {
        switch (i) {
        case TMsgIcon::Information: return QMessageBox::Information;
        case TMsgIcon::Warning: return QMessageBox::Warning;
        case TMsgIcon::Error: return QMessageBox::Critical;
        case TMsgIcon::Question: return QMessageBox::Question;
        case TMsgIcon::None: break;
        }
        return QMessageBox::NoIcon;
    }
};

TRealUi& realUi()
{
    static TRealUi ui;
    return ui;
}

IKxUi*& current()
{
    static IKxUi* ui = nullptr;
    return ui;
}

}

IKxUi& KxUi()
{
    IKxUi* ui = current();
    return ui ? *ui : realUi();
}

void KxSetUi(IKxUi* ui)
{
    current() = ui;
}

void KxShowError(const QString& text, const QString& caption)
{
    KxUi().MessageBox(caption, text, TMsgIcon::Error, mbOK);
}

void KxShowInfo(const QString& text, const QString& caption)
{
    KxUi().MessageBox(caption, text, TMsgIcon::Information, mbOK);
}

bool KxAskOkCancel(const QString& text, const QString& caption)
{
    return KxUi().MessageBox(caption, text, TMsgIcon::Question, mbOK | mbCancel) == mrOk;
}

bool KxAskYesNo(const QString& text, const QString& caption)
{
    return KxUi().MessageBox(caption, text, TMsgIcon::Question, mbYes | mbNo) == mrYes;
}

bool KxIsWebUrl(const QString& url, bool allowMailto)
{
    const QUrl u(url.trimmed(), QUrl::StrictMode);
    if (!u.isValid())
        return false;
    const QString s = u.scheme().toLower();
    if (s == u"http" || s == u"https")
        return !u.host().isEmpty();
    return allowMailto && s == u"mailto" && !u.path().isEmpty();
}
