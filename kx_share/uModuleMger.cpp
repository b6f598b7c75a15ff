#include "uModuleMger.h"

#include "codec/uPanelText.h"

TModuleMger::TModuleMger(QObject* owner) : QObject(owner)
{
    m_module.setBuffer(&m_bytes);
    m_module.open(QIODevice::ReadWrite);
}

bool TModuleMger::LoadFromString(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    return LoadFromStream(&stream);
}

bool TModuleMger::LoadFromStream(QIODevice* stream)
{
    stream->seek(0);
    TKxPanelText panel;
    if (!KxReadPanelText(stream->readAll(), &panel, &m_error))
        return false;
    Width = panel.Width;
    Height = panel.Height;
    m_module.close();
    m_bytes = panel.Module;
    m_module.open(QIODevice::ReadWrite);
    m_module.seek(m_bytes.size());
    m_error.clear();
    return true;
}

bool TModuleMger::SaveToStream(QIODevice* stream)
{
    const QByteArray text = KxWritePanelText({Width, Height, m_bytes});
    if (stream->write(text) != text.size()) {
        m_error = stream->errorString();
        return false;
    }
    return true;
}

QString TModuleMger::SaveToString()
{
    return QString::fromLatin1(KxWritePanelText({Width, Height, m_bytes}));
}
