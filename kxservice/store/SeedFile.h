#pragma once
// The readable files of kxservice/seed/, built into the program, and the one way their texts
// are read.
#include <QJsonObject>
#include <QString>

QJsonObject KxSeedFile(const QString& name);   // a file of seed/, e.g. "demo.json"

// A text field of a seed record; a missing text is empty, never NULL.
QString KxSeedText(const QJsonObject& o, const char* key);
