#pragma once
// Method name -> handler, and who may call it. Every call runs in one transaction; what a
// handler throws becomes an error_response here and nowhere else.
#include "Context.h"

#include <QHash>
#include <vector>

enum class EAccess {
    Directory,  // before the seller is known: the handler checks the master nick it is given
    Seller,     // a known seller (nickid); the lists before login and the login itself
    Operator,   // an operator with a live session under the call's key
    Module,     // as Operator, plus the right its module requires for the method
};

using THandler = void (*)(TContext&);

// Writes on SQLite are first tried optimistically (TOptimisticWrites): the checks run without
// the write lock, which only the writing takes. A call whose write found another writer first
// is run once more from its start, the lock then taken at BEGIN. So a Write handler, and an Own
// handler of a module method, must have no effect outside the database and its answer, and an
// Own one of that kind must write in one transaction.
enum class ETx {
    Read,   // one read transaction around the handler
    Write,  // one write transaction around the handler
    Own,    // the handler opens its own (slow checks such as password hashing stay outside the lock)
};

struct TMethodDef {
    const char* name;
    EAccess access;
    ETx tx;
    THandler handler;
};

class TDispatcher {
public:
    TDispatcher(TDatabase& store, const TServiceOptions& options, TServiceLog& log);
    void add(const std::vector<TMethodDef>& methods);
    // What answers a call named after a module rather than a method (the module's description
    // for the client's CallModule), and the one module described before login.
    void setModuleDescriber(void (*describe)(TContext&, const QString& module), const char* loginModule);
    // Runs one call and returns the answer's XML (success or error_response). The call's delta
    // attachments are parsed in place: hand the call over (moved) to spare a copy of them.
    QByteArray handle(TCall call);
    // An answer for a body that never became a call (limits, malformed multipart).
    QByteArray refuse(int code, const QString& msg, const QString& addr);

    // The longest parameter value accepted (characters).
    static constexpr int kMaxParamChars = 4000;

private:
    QString clientAddress(const TCall& call) const;
    static void checkLengths(const TCall& call);
    void run(TContext& ctx, TCall& call, const TMethodDef* def, const QString& method);
    void runHandler(TContext& ctx, const TMethodDef* def, EAccess access, const QString& nick, const QString& method);
    void checkSeller(TContext& ctx, const QString& nick);
    void checkOperator(TContext& ctx, const QString& nick, const QString& oper, const QString& method, bool rights);

    TDatabase& m_store;
    const TServiceOptions& m_options;
    TServiceLog& m_log;
    QString m_secret;
    QHash<QString, TMethodDef> m_methods;
    void (*m_describe)(TContext&, const QString&) = nullptr;
    QString m_loginModule;
};
