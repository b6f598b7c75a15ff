#include "SeedFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QVariant>
#include <stdexcept>

QJsonObject KxSeedFile(const QString& name)
{
    QFile f(QStringLiteral(":/kxseed/") + name);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("seed file missing: " + name.toStdString());
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error != QJsonParseError::NoError)
        throw std::runtime_error("seed file " + name.toStdString() + ": " + err.errorString().toStdString());
    return doc.object();
}

QString KxSeedText(const QJsonObject& o, const char* key)
{
    const QString s = o.value(QLatin1String(key)).toVariant().toString();
    return s.isNull() ? QStringLiteral("") : s;
}
