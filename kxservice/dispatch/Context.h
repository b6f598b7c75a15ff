#pragma once
// Everything a handler sees of one call: the checked caller, its parameters and attachments,
// the deltas read before the transaction began, the open transaction's connection and the
// answer being built.
#include "protocol/Answer.h"
#include "protocol/Call.h"
#include "protocol/ServiceError.h"
#include "store/Database.h"
#include "store/Packet.h"
#include "ServiceOptions.h"

#include <map>

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
    // Where the call comes from: the peer, or the client a trusted proxy names.
    QString clientAddr;

    QString param(const QString& name) const { return call.param(name); }
    // A parameter that must be present and not blank; otherwise a clear error.
    QString need(const QString& name) const;
    // A whole number parameter; blank gives the default. Anything else that is not a number
    // in 32 bits is refused: every integer column is 32-bit on PostgreSQL, and no count,
    // page or code of the program needs more.
    qint64 intParam(const QString& name, qint64 def) const;

    // The changes of an attachment whose name starts with "delta", read (and checked) before
    // the call's transaction began; null when the call has no such attachment.
    const QList<TDeltaChange>* delta(const QString& name) const;
    // Reads every delta attachment of the call (the dispatcher, before the transaction). The
    // attachments' bytes are taken from `call` (the context's own) and parsed in place.
    void readDeltas(TCall& call);

private:
    std::map<QString, QList<TDeltaChange>> m_deltas;
};
