#pragma once
// The module catalogue (packages, module descriptions and parameters, menu, ribbon, start
// menu) belongs to the service, not to the seller: every start brings each seller's rows to
// the built-in files (seed/modules.json, seed/navigation.json), in one transaction per
// seller. A seller is marked with the digest of the catalogue it was brought to, so sellers
// already at it are not read again. Modules keep their mod_id by name; modules no longer in
// the catalogue go with their parameters and the rights granted on them.
#include <QHash>
#include <QSqlDatabase>
#include <QString>

#include <vector>

class TDatabase;

// What changed, per seller brought up to date.
struct TCatalogueUpdate {
    QString nickid;
    int added = 0, changed = 0, removed = 0;   // modules
    bool packages = false, navigation = false; // rewritten
};
std::vector<TCatalogueUpdate> KxUpdateCatalogues(TDatabase& store);

// Writes the catalogue for one seller inside the caller's write transaction (a new seller's
// too). modIds receives every module's mod_id by name.
TCatalogueUpdate KxWriteCatalogue(QSqlDatabase& db, const QString& nickid, QHash<QString, int>& modIds);

// The right a module must grant for a method parameter: "search"-like names need "issearch",
// "update"-like "isupdate", "audit" "isaudit"; lookups need only the module itself.
QString KxRightForMethodParam(const QString& param);
