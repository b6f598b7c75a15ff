// kxpanel: turns a readable panel description (JSON) into the "searchfile" text of a list
// module, with the same codec the client reads it with; --dump turns such a text back into
// JSON.
//
//   kxpanel panel.json > panel.txt
//   kxpanel --dump panel.txt
//
// Description: {"width": 600, "height": 80, "controls": [
//   {"class": "TPEdit", "name": "PEdit1", "props": {"Left": 60, "Top": 8, "KXName": "code"}},
//   {"class": "TPPanel", "name": "PPanel1", "props": {...}, "children": [ ... ]} ]}
// Property values: numbers, true/false, text, or an array of text (KXKeyValues lines).
#include "codec/uPanelJson.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace {
QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}
} // namespace

int main(int argc, char** argv)
{
    const bool dump = argc == 3 && QByteArray(argv[1]) == "--dump";
    if (argc != 2 && !dump) {
        err() << "usage: kxpanel PANEL.json > searchfile.txt\n       kxpanel --dump searchfile.txt\n";
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[argc - 1]);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        err() << path << ": " << f.errorString() << "\n";
        return 1;
    }
    const QByteArray input = f.readAll();
    if (dump) {
        TKxPanelText panel;
        QString error;
        QList<TKxComponentRecord> records;
        if (!KxReadPanelText(input, &panel, &error) || !KxReadComponents(panel.Module, &records, &error)) {
            err() << path << ": " << error << "\n";
            return 1;
        }
        fputs(QJsonDocument(KxPanelToJson(panel, records)).toJson().constData(), stdout);
        return 0;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(input, &parseError);
    if (!doc.isObject()) {
        err() << path << ": " << parseError.errorString() << " at offset " << parseError.offset << "\n";
        return 1;
    }
    QByteArray text;
    QString error;
    if (!KxPanelFromJson(doc.object(), &text, &error)) {
        err() << path << ": " << error << "\n";
        return 1;
    }
    fputs(text.constData(), stdout);
    fputs("\n", stdout);
    return 0;
}
