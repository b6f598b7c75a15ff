#include "uQuietCalls.h"

TKxQuietCalls::TKxQuietCalls() : m_previous(&KxUi())
{
    KxSetUi(this);
}

TKxQuietCalls::~TKxQuietCalls()
{
    KxSetUi(m_previous);
}

QString TKxQuietCalls::Take()
{
    const QString text = m_texts.join(QLatin1Char('\n'));
    m_texts.clear();
    return text;
}

int TKxQuietCalls::MessageBox(const QString&, const QString& text, TMsgIcon, int)
{
    m_texts << text;
    return mrOk;
}

bool TKxQuietCalls::OpenUrl(const QString&)
{
    return false;
}

QString TKxQuietCalls::GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return m_previous->GetOpenFileName(parent, caption, dir, filter);
}

QString TKxQuietCalls::GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return m_previous->GetSaveFileName(parent, caption, dir, filter);
}

int TKxQuietCalls::ShowModal(QWidget* window)
{
    return m_previous->ShowModal(window);
}
