#pragma once
// A scripted stand-in for the UI facade: records every message box, URL and dialog, and
// answers from a queue the test fills. Installed for the lifetime of the object. Message boxes
// may come from any thread (service tests call from many).
#include "uUiHooks.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

struct TShownMessage {
    QString caption;
    QString text;
    TMsgIcon icon;
    int buttons;
};

class TScriptedUi : public IKxUi {
public:
    TScriptedUi() { KxSetUi(this); }
    ~TScriptedUi() override { KxSetUi(nullptr); }

    QList<TShownMessage> messages;
    QStringList texts;            // the messages' texts alone, to compare a whole run at once
    QStringList openedUrls;
    QList<QWidget*> modalWindows;
    QQueue<int> answers;          // message box answers; default: OK / Yes
    QQueue<QString> fileAnswers;  // file dialog answers; default: cancel
    QQueue<int> modalResults;     // ShowModal results; default: mrCancel
    // When set, runs the window in place of the queue (fill it, close it) and gives its result.
    std::function<int(QWidget*)> onModal;
    // When set, sees every message as it is shown (what the window shows meanwhile).
    std::function<void(const QString&)> onMessage;
    mutable std::mutex m;         // held while a message box is recorded

    int MessageBox(const QString& caption, const QString& text, TMsgIcon icon, int buttons) override
    {
        if (onMessage)
            onMessage(text);
        std::lock_guard lock(m);
        messages.append({caption, text, icon, buttons});
        texts.append(text);
        if (!answers.isEmpty())
            return answers.dequeue();
        return (buttons & mbOK) ? mrOk : (buttons & mbYes) ? mrYes : mrNone;
    }
    bool OpenUrl(const QString& url) override
    {
        openedUrls.append(url);
        return true;
    }
    QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    int ShowModal(QWidget* window) override
    {
        modalWindows.append(window);
        if (onModal)
            return onModal(window);
        return modalResults.isEmpty() ? mrCancel : modalResults.dequeue();
    }

    QString lastText() const
    {
        std::lock_guard lock(m);
        return texts.isEmpty() ? QString() : texts.last();
    }
    QString last() const { return lastText(); }   // the name the service tests read it by
    void clear()
    {
        std::lock_guard lock(m);
        messages.clear();
        texts.clear();
        openedUrls.clear();
        modalWindows.clear();
    }
};
