#pragma once
// Everything a handler sees of one call: the checked caller, its parameters and attachments,
// the open transaction's connection and the answer being built.
#include "protocol/Answer.h"
#include "protocol/Call.h"
#include "protocol/ServiceError.h"
#include "store/Database.h"
#include "ServiceOptions.h"

class TServiceLog;

class TContext {
public:
    TContext(const TCall& c, TDatabase& s, QSqlDatabase& d, const TServiceOptions& o, TServiceLog& l)
        : call(c), store(s), db(d), options(o), log(l) {}

    const TCall& call;
    TDatabase& store;
    QSqlDatabase& db;
    const TServiceOptions& options;
    TServiceLog& log;
    TAnswer answer;

    // The caller as checked by the dispatcher (empty where the method needs none).
    QString nickid, operid, shopcode;

    QString param(const QString& name) const { return call.param(name); }
    // A parameter that must be present and not blank; otherwise a clear error.
    QString need(const QString& name) const;
    // A whole number parameter; blank gives the default, anything else not a number an error.
    qint64 intParam(const QString& name, qint64 def) const;
};
