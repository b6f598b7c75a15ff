#pragma once
// Service calls whose failures are gathered instead of shown one box each: while an object
// of this class lives, message boxes are recorded (and answered OK) and no address is opened;
// the caller shows what was gathered once, when its calls are done.
#include "uUiHooks.h"

#include <QStringList>

class TKxQuietCalls : public IKxUi {
public:
    TKxQuietCalls();
    ~TKxQuietCalls() override;
    TKxQuietCalls(const TKxQuietCalls&) = delete;
    TKxQuietCalls& operator=(const TKxQuietCalls&) = delete;

    // The messages since the last Take(), and forgets them.
    QString Take();

    int MessageBox(const QString& caption, const QString& text, TMsgIcon icon, int buttons) override;
    bool OpenUrl(const QString& url) override;
    QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    int ShowModal(QWidget* window) override;

private:
    IKxUi* m_previous;
    QStringList m_texts;
};
