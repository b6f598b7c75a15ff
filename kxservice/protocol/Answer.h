#pragma once
// The XML of an answer: a root with one text child per value. Data packets travel as CDATA;
// everything else is escaped text.
#include <QByteArray>
#include <QString>

class TAnswer {
public:
    TAnswer();
    // name must be a plain XML name (letters, digits, '_', '-', '.'): names come from code.
    void add(const QString& name, const QString& value);
    void add(const QString& name, qint64 value) { add(name, QString::number(value)); }
    // A data packet (UTF-8 XML) as CDATA, split where it holds "]]>".
    void addPacket(const QString& name, const QByteArray& packet);
    // The whole answer, handed over without a copy (a big answer is one buffer); the answer
    // starts again empty.
    QByteArray take();

    static QByteArray errorXml(int code, const QString& msg, const QString& callurl = {});

private:
    QByteArray m_body;
};

// Text escaped for element content; characters XML 1.0 cannot carry become U+FFFD, and CR is
// written as a character reference so it survives line-end normalisation.
void KxAppendEscaped(QByteArray& out, const QString& text);
