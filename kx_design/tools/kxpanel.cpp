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
#include "codec/uPanelStream.h"
#include "codec/uPanelText.h"

#include <QFile>
#include <QJsonArray>
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

bool toRecords(const QJsonArray& controls, const QString& where, QList<TKxComponentRecord>* out)
{
    for (int i = 0; i < controls.size(); ++i) {
        const QJsonObject c = controls[i].toObject();
        const QString at = QStringLiteral("%1[%2]").arg(where).arg(i);
        TKxComponentRecord r;
        r.ClassName = c.value(u"class").toString();
        r.Name = c.value(u"name").toString();
        if (!KxDesignClassNames().contains(r.ClassName)) {
            err() << at << ": unknown control class \"" << r.ClassName << "\"\n";
            return false;
        }
        const QJsonObject props = c.value(u"props").toObject();
        for (auto it = props.begin(); it != props.end(); ++it) {
            const QJsonValue v = it.value();
            QVariant value;
            if (v.isBool())
                value = v.toBool();
            else if (v.isDouble())
                value = v.toDouble() == double(qint64(v.toDouble())) ? QVariant(qint64(v.toDouble())) : QVariant(v.toDouble());
            else if (v.isString())
                value = v.toString();
            else if (v.isArray()) {
                QStringList lines;
                for (const QJsonValue& line : v.toArray())
                    lines << line.toString();
                value = lines;
            } else {
                err() << at << ": property " << it.key() << " has no usable value\n";
                return false;
            }
            r.Properties.append({it.key(), value});
        }
        if (!toRecords(c.value(u"children").toArray(), at + QStringLiteral(".children"), &r.Children))
            return false;
        out->append(r);
    }
    return true;
}

QJsonArray toJson(const QList<TKxComponentRecord>& records)
{
    QJsonArray out;
    for (const auto& r : records) {
        QJsonObject props;
        for (const auto& [name, value] : r.Properties)
            props.insert(name, value.typeId() == QMetaType::QByteArray ? QJsonValue(QString::fromLatin1(value.toByteArray().toBase64()))
                                                                      : QJsonValue::fromVariant(value));
        QJsonObject c{{"class", r.ClassName}, {"name", r.Name}, {"props", props}};
        if (!r.Children.isEmpty())
            c.insert(QStringLiteral("children"), toJson(r.Children));
        out.append(c);
    }
    return out;
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
        const QJsonObject doc{{"width", panel.Width}, {"height", panel.Height}, {"controls", toJson(records)}};
        fputs(QJsonDocument(doc).toJson().constData(), stdout);
        return 0;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(input, &parseError);
    if (!doc.isObject()) {
        err() << path << ": " << parseError.errorString() << " at offset " << parseError.offset << "\n";
        return 1;
    }
    const QJsonObject root = doc.object();
    TKxPanelText panel;
    panel.Width = root.value(u"width").toInt();
    panel.Height = root.value(u"height").toInt();
    QList<TKxComponentRecord> records;
    if (!toRecords(root.value(u"controls").toArray(), QStringLiteral("controls"), &records))
        return 1;
    panel.Module = KxWriteComponents(records);
    fputs(KxWritePanelText(panel).constData(), stdout);
    fputs("\n", stdout);
    return 0;
}
