#pragma once
// Sellers created from the readable files in kxservice/seed/ (built into the program):
// modules.json (packages and module descriptions), navigation.json (menu, ribbon, start
// menu) and a seller file such as demo.json (accounts, operators and rights, master data,
// marketplace).
#include <QJsonObject>

class TDatabase;

QJsonObject KxSeedFile(const QString& name);   // a file of seed/, e.g. "demo.json"

// Creates the seller a seller file describes, in one transaction. False when a seller with
// that nickid or master nick exists already (nothing is changed then).
bool KxSeedSeller(TDatabase& store, const QJsonObject& seller);

// The right a module must grant for a method parameter: "search"-like names need "issearch",
// "update"-like "isupdate", "audit" "isaudit"; lookups need only the module itself.
QString KxRightForMethodParam(const QString& param);
