#pragma once
// Sellers created from the readable files in kxservice/seed/ (built into the program):
// modules.json (packages and module descriptions), navigation.json (menu, ribbon, start
// menu) and a seller file such as demo.json (accounts, operators and rights, master data,
// marketplace).
#include <QJsonObject>
#include <QString>

#include <vector>

class TDatabase;

QJsonObject KxSeedFile(const QString& name);   // a file of seed/, e.g. "demo.json"

// Creates the seller a seller file describes, in one transaction. False when a seller with
// that nickid or master nick exists already (nothing is changed then).
bool KxSeedSeller(TDatabase& store, const QJsonObject& seller);

// The module catalogue (packages, module descriptions and parameters, menu, ribbon, start
// menu) belongs to the service, not to the seller: every start brings each seller's rows to
// the built-in files, in one transaction per seller. A seller is marked with the digest of
// the catalogue it was brought to, so sellers already at it are not read again. Modules keep
// their mod_id by name; modules no longer in the catalogue go with their parameters and the
// rights granted on them. Returns what changed, per seller brought up to date.
struct TCatalogueUpdate {
    QString nickid;
    int added = 0, changed = 0, removed = 0;   // modules
    bool packages = false, navigation = false; // rewritten
};
std::vector<TCatalogueUpdate> KxUpdateCatalogues(TDatabase& store);

// The right a module must grant for a method parameter: "search"-like names need "issearch",
// "update"-like "isupdate", "audit" "isaudit"; lookups need only the module itself.
QString KxRightForMethodParam(const QString& param);
