#pragma once
// The "searchfile" text of a list module: a designed panel's width, height and component
// stream. The panel itself is read and written by TPanelStage.
#include <QBuffer>
#include <QObject>

class TModuleMger : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(int Height MEMBER Height)
public:
    explicit TModuleMger(QObject* owner = nullptr);

    int Width = 0;
    int Height = 0;
    // The component stream; after a load it holds the bytes, positioned at their end.
    QBuffer* ModuleStream() { return &m_module; }

    // False with LastError() when the text is not a panel; nothing changes then.
    bool LoadFromString(const QString& text);
    bool LoadFromStream(QIODevice* stream);
    // Writes the text form at the stream's current position.
    bool SaveToStream(QIODevice* stream);
    QString SaveToString();

    QString LastError() const { return m_error; }

private:
    QByteArray m_bytes;
    QBuffer m_module;
    QString m_error;
};
