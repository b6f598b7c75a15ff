#include "uPanelJson.h"

#include <QJsonArray>

namespace {

bool toRecords(const QJsonArray& controls, const QString& where, QList<TKxComponentRecord>* out, QString* error)
{
    for (int i = 0; i < controls.size(); ++i) {
        const QJsonObject c = controls[i].toObject();
        const QString at = QStringLiteral("%1[%2]").arg(where).arg(i);
        TKxComponentRecord r;
        r.ClassName = c.value(u"class").toString();
        r.Name = c.value(u"name").toString();
        if (!KxDesignClassNames().contains(r.ClassName)) {
            *error = QStringLiteral("%1: unknown control class \"%2\"").arg(at, r.ClassName);
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
                *error = QStringLiteral("%1: property %2 has no usable value").arg(at, it.key());
                return false;
            }
            r.Properties.append({it.key(), value});
        }
        if (!toRecords(c.value(u"children").toArray(), at + QStringLiteral(".children"), &r.Children, error))
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

bool KxPanelFromJson(const QJsonObject& root, QByteArray* text, QString* error)
{
    TKxPanelText panel;
    panel.Width = root.value(u"width").toInt();
    panel.Height = root.value(u"height").toInt();
    QList<TKxComponentRecord> records;
    if (!toRecords(root.value(u"controls").toArray(), QStringLiteral("controls"), &records, error))
        return false;
    panel.Module = KxWriteComponents(records);
    *text = KxWritePanelText(panel);
    return true;
}

QJsonObject KxPanelToJson(const TKxPanelText& panel, const QList<TKxComponentRecord>& records)
{
    return QJsonObject{{"width", panel.Width}, {"height", panel.Height}, {"controls", toJson(records)}};
}
