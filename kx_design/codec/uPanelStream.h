#pragma once
// The component stream of a designed panel, without widgets: the service and the tools write
// panels with the same code the client reads them with. The byte form is described in
// docs/panel-stream.md.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// One control: its class name, its name, its stored properties in order and the controls it
// holds. Property values are int/qlonglong, bool, double, QString, QStringList or QByteArray.
struct TKxComponentRecord {
    QString ClassName;
    QString Name;
    QList<QPair<QString, QVariant>> Properties;
    QList<TKxComponentRecord> Children;

    QVariant Property(const QString& name) const;
    void SetProperty(const QString& name, const QVariant& value);
    bool operator==(const TKxComponentRecord&) const = default;
};

// The records, each with its signature, followed by the end-of-list marker.
QByteArray KxWriteComponents(const QList<TKxComponentRecord>& records);

// False with a message in `error` when the bytes are not a whole, well-formed stream; `out`
// is then left empty. Values of a type this reader does not know are skipped.
bool KxReadComponents(const QByteArray& bytes, QList<TKxComponentRecord>* out, QString* error);

// The class names a panel may hold: the eight input controls and the five decorations.
const QStringList& KxDesignClassNames();
