#include "Commands.h"

#include "ServiceConfig.h"
#include "Backup.h"
#include "Sellers.h"
#include "store/Database.h"
#include "uRequest.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <map>

namespace {
void out(const QString& text)
{
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

// One command: its options beyond --db/--config, and what it does once the database is open
// and the administration lock held.
struct TCommand {
    QString summary;
    QList<QCommandLineOption> options;
    QStringList required;
    std::function<void(TDatabase&, const QCommandLineParser&)> run;
};

QCommandLineOption opt(const char* name, const char* help, const char* value = nullptr)
{
    return value ? QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help), QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help));
}

const std::map<QString, TCommand>& adminCommands()
{
    static const std::map<QString, TCommand> all = {
        {QStringLiteral("create-seller"),
         {QStringLiteral("a seller with its first shop and storage and an administrator holding every right"),
          {opt("nick", "Master nick (the marketplace account).", "NICK"), opt("name", "Name the client shows (default: the nick).", "NAME"),
           opt("subnick", "A sub-account of the master nick (repeat for more).", "SUB"),
           opt("shop", "First shop: CODE or CODE:NAME (default S01).", "SHOP"),
           opt("storage", "First (dispatch) storage: CODE or CODE:NAME (default CK01).", "STORAGE"),
           opt("operator", "The administrator's operator id (default admin).", "ID"),
           opt("operator-name", "The administrator's name (default 管理员).", "NAME"),
           opt("password", "Its password (default: generated and printed once).", "PASSWORD")},
          {QStringLiteral("nick")},
          [](TDatabase& store, const QCommandLineParser& p) {
              TNewSeller s;
              s.masterNick = p.value(QStringLiteral("nick"));
              s.nickName = p.value(QStringLiteral("name"));
              s.subNicks = p.values(QStringLiteral("subnick"));
              const auto split = [&p](const char* name, QString& code, QString& title) {
                  const QString v = p.value(QString::fromLatin1(name));
                  if (v.isEmpty())
                      return;
                  code = v.section(u':', 0, 0);
                  title = v.section(u':', 1);
              };
              split("shop", s.shopCode, s.shopName);
              split("storage", s.storageId, s.storageName);
              if (p.isSet(QStringLiteral("operator")))
                  s.operId = p.value(QStringLiteral("operator"));
              if (p.isSet(QStringLiteral("operator-name")))
                  s.operName = p.value(QStringLiteral("operator-name"));
              s.password = p.value(QStringLiteral("password"));
              const TCreatedSeller c = KxCreateSeller(store, s);
              out(QStringLiteral("seller %1 created: nickid %2, shop %3, storage %4, operator %5")
                      .arg(KxTrimLow(s.masterNick), c.nickid, s.shopCode, s.storageId, s.operId));
              if (c.generated)
                  out(QStringLiteral("password: %1   (generated; shown this once)").arg(c.password));
          }}},
        {QStringLiteral("list-sellers"),
         {QStringLiteral("every seller: nickid, master nick, in use, shops, operators, created, name"), {}, {},
          [](TDatabase& store, const QCommandLineParser&) {
              out(QStringLiteral("nickid\tmasternick\tstate\tshops\toperators\tcreated\tname"));
              for (const TSellerRow& r : KxListSellers(store))
                  out(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7").arg(r.nickid, r.masterNick, QLatin1String(r.inUse ? "in-use" : "disabled"))
                          .arg(r.shops).arg(r.operators).arg(r.created, r.nickName));
          }}},
        {QStringLiteral("disable-seller"),
         {QStringLiteral("refuse the seller's logins and end its sessions"), {opt("nick", "Master nick.", "NICK")}, {QStringLiteral("nick")},
          [](TDatabase& store, const QCommandLineParser& p) {
              KxSetSellerInUse(store, p.value(QStringLiteral("nick")), false);
              out(QStringLiteral("seller %1 disabled").arg(p.value(QStringLiteral("nick"))));
          }}},
        {QStringLiteral("enable-seller"),
         {QStringLiteral("let a disabled seller log in again"), {opt("nick", "Master nick.", "NICK")}, {QStringLiteral("nick")},
          [](TDatabase& store, const QCommandLineParser& p) {
              KxSetSellerInUse(store, p.value(QStringLiteral("nick")), true);
              out(QStringLiteral("seller %1 enabled").arg(p.value(QStringLiteral("nick"))));
          }}},
        {QStringLiteral("reset-password"),
         {QStringLiteral("a new password for an operator; lifts its lock and ends its sessions"),
          {opt("nick", "Master nick.", "NICK"), opt("operator", "Operator id.", "ID"),
           opt("password", "The new password (default: generated and printed once).", "PASSWORD")},
          {QStringLiteral("nick"), QStringLiteral("operator")},
          [](TDatabase& store, const QCommandLineParser& p) {
              const QString given = p.value(QStringLiteral("password"));
              const QString pw = KxResetPassword(store, p.value(QStringLiteral("nick")), p.value(QStringLiteral("operator")), given);
              out(QStringLiteral("password of %1 reset").arg(p.value(QStringLiteral("operator"))));
              if (given.isEmpty())
                  out(QStringLiteral("password: %1   (generated; shown this once)").arg(pw));
          }}},
        {QStringLiteral("unlock"),
         {QStringLiteral("lift the login lock of an operator or a client address"),
          {opt("nick", "Master nick.", "NICK"), opt("operator", "Operator id.", "ID"), opt("address", "Client address.", "ADDR")},
          {QStringLiteral("nick")},
          [](TDatabase& store, const QCommandLineParser& p) {
              const bool lifted = KxLiftLock(store, p.value(QStringLiteral("nick")), p.value(QStringLiteral("operator")),
                                             p.value(QStringLiteral("address")));
              out(QLatin1String(lifted ? "lock lifted" : "nothing was locked"));
          }}},
    };
    return all;
}

QString usage()
{
    QString text = QStringLiteral("usage: kxservice admin COMMAND [--db URL | --config FILE] [options]\ncommands:\n");
    for (const auto& [name, c] : adminCommands())
        text += QStringLiteral("  %1  %2\n").arg(name, -15).arg(c.summary);
    return text + QStringLiteral("kxservice admin COMMAND --help shows a command's options.");
}

int admin(const QStringList& args)
{
    if (args.size() < 3 || !adminCommands().count(args.at(2))) {
        std::fprintf(stderr, "%s\n", usage().toUtf8().constData());
        return 2;
    }
    const TCommand& c = adminCommands().at(args.at(2));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("kxservice admin %1: %2").arg(args.at(2), c.summary));
    p.addHelpOption();
    KxAddServiceOptions(p); // --db, --config and the service's others (ignored here)
    p.addOptions(c.options);
    QStringList rest = args;
    rest.removeAt(1); // the parser sees "kxservice create-seller …"
    p.process(rest);
    try {
        for (const QString& r : c.required)
            if (p.value(r).isEmpty())
                throw TAdminError(QStringLiteral("--%1 is required").arg(r));
        const TServiceConfig config(p, KxServiceOptionNames());
        TDbUrl url;
        QString error;
        if (!TDbUrl::parse(KxDatabaseText(config), url, error))
            throw TAdminError(QStringLiteral("--db: ") + error);
        TDatabase store(url);
        store.migrate();
        {
            TAdminLock lock(store);
            c.run(store, p);
        }
        store.releaseThreadConnection();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxservice admin %s: %s\n", qPrintable(args.at(2)), e.what());
        return 1;
    }
}


// backup --to FILE / restore --from FILE, on the --db (or --config) database.
int backupOrRestore(const QStringList& args)
{
    const bool backup = args.at(1) == QLatin1String("backup");
    QCommandLineParser p;
    p.setApplicationDescription(backup ? QStringLiteral("kxservice backup: a consistent copy of the SQLite database while the service"
                                                         " serves (PostgreSQL: pg_dump)")
                                       : QStringLiteral("kxservice restore: put a backup in place of the database (stop the service"
                                                         " first; PostgreSQL: pg_restore)"));
    p.addHelpOption();
    KxAddServiceOptions(p);
    const QString fileOption = backup ? QStringLiteral("to") : QStringLiteral("from");
    p.addOption({fileOption, backup ? QStringLiteral("The backup file to write (must not exist).") : QStringLiteral("The backup file to restore."),
                 QStringLiteral("FILE")});
    QStringList rest = args;
    rest.removeAt(1);
    p.process(rest);
    try {
        const QString file = p.value(fileOption);
        if (file.isEmpty())
            throw TAdminError(QStringLiteral("--%1 FILE is required").arg(fileOption));
        const TServiceConfig config(p, KxServiceOptionNames());
        TDbUrl url;
        QString error;
        if (!TDbUrl::parse(KxDatabaseText(config), url, error))
            throw TAdminError(QStringLiteral("--db: ") + error);
        if (backup) {
            const TBackupFile f = KxBackup(url, file);
            out(QStringLiteral("backup written: %1 (%2 bytes, schema version %3, %4 sellers)").arg(file).arg(f.bytes).arg(f.schema).arg(f.sellers));
            return 0;
        }
        TDatabase store(url);
        TBackupFile f;
        {
            TAdminLock lock(store);
            f = KxRestore(url, file);
        }
        out(QStringLiteral("restored %1 (schema version %2, %3 sellers) into %4; now at schema version %5")
                .arg(file).arg(f.schema).arg(f.sellers).arg(url.display()).arg(store.schemaVersion()));
        store.releaseThreadConnection();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxservice %s: %s\n", qPrintable(args.at(1)), e.what());
        return 1;
    }
}
}

bool KxIsCommand(const QString& word)
{
    return word == QLatin1String("admin") || word == QLatin1String("backup") || word == QLatin1String("restore");
}

int KxRunCommand(const QStringList& args)
{
    return args.at(1) == QLatin1String("admin") ? admin(args) : backupOrRestore(args);
}
