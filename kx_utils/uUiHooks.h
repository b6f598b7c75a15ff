#pragma once
// The one door for effects outside the program's own windows: message boxes, file dialogs,
// opening URLs and showing modal windows. The program installs the real implementation;
// tests install a scripted one that records what was shown and answers as told.
#include <QString>

class QWidget;

enum class TMsgIcon { None, Information, Warning, Error, Question };

// Buttons offered by a message box, and the button chosen (modal results).
enum TMsgButtons { mbOK = 0x1, mbCancel = 0x2, mbYes = 0x4, mbNo = 0x8 };
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

class IKxUi {
public:
    virtual ~IKxUi() = default;
    virtual int MessageBox(const QString& caption, const QString& text, TMsgIcon icon, int buttons) = 0;
    virtual bool OpenUrl(const QString& url) = 0;
    // Empty text when the operator cancels.
    virtual QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    virtual QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    // Shows the window modally and returns its modal result.
    virtual int ShowModal(QWidget* window) = 0;
};

IKxUi& KxUi();
// Installs an implementation (not owned); nullptr restores the real one.
void KxSetUi(IKxUi* ui);

// Shorthands used across the system.
void KxShowError(const QString& text, const QString& caption = QStringLiteral("系统提示"));
void KxShowInfo(const QString& text, const QString& caption = QStringLiteral("系统提示"));
bool KxAskOkCancel(const QString& text, const QString& caption = QStringLiteral("系统提示"));
bool KxAskYesNo(const QString& text, const QString& caption = QStringLiteral("系统提示"));

// Only web links leave the program: a service-supplied address with another scheme
// (file:, javascript:, a program path) is refused.
bool KxIsWebUrl(const QString& url, bool allowMailto = false);
