#pragma once
// The versioned schema. A migration is applied once, in its own transaction, and recorded in
// kx_schema_version; later work appends migrations and never edits an applied one.
#include <QString>
#include <QStringList>
#include <vector>

struct TMigration {
    int version;
    QString name;
    QStringList statements; // portable SQL: TEXT, INTEGER, BIGINT, NUMERIC(18,4)
};

const std::vector<TMigration>& KxMigrations();
// The version the newest migration brings a database to.
int KxNewestSchemaVersion();
