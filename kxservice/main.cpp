// kxservice: the back-office service the VarnoqERP client talks to, and the administrator's
// commands on its database (kxservice admin|backup|restore …).
#include "KxService.h"
#include "LocalClock.h"
#include "ServiceConfig.h"
#include "admin/Commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <semaphore.h>
#include <thread>

namespace {
sem_t g_stopSignal;

void onSignal(int)
{
    sem_post(&g_stopSignal); // async-signal-safe
}

int serve(QCoreApplication& app)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("VarnoqERP service. Other commands: kxservice admin|backup|restore --help"));
    p.addHelpOption();
    KxAddServiceOptions(p);
    p.process(app);

    TServiceOptions o;
    try {
        o = KxServiceOptionsFrom(TServiceConfig(p, KxServiceOptionNames()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxservice: %s\n", e.what());
        return 2;
    }

    sem_init(&g_stopSignal, 0, 0);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    TKxService service(o);
    try {
        service.prepare();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxservice: %s\n", e.what());
        return 1;
    }
    std::fprintf(stdout, "kxservice: serving %s\n", qPrintable(service.url()));
    std::fflush(stdout);
    // A signal only wakes this thread; the server is stopped from here, never from the handler.
    std::thread waiter([&service] {
        while (sem_wait(&g_stopSignal) != 0) {}
        service.stop();
    });
    service.serve();
    sem_post(&g_stopSignal); // the server ended on its own: let the waiter finish
    waiter.join();
    std::fprintf(stdout, "kxservice: stopped\n");
    return 0;
}
}

int main(int argc, char** argv)
{
    KxPinTimeZone(); // first: no other thread may read the environment meanwhile
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kxservice"));
    const QStringList args = app.arguments();
    if (args.size() > 1 && KxIsCommand(args.at(1)))
        return KxRunCommand(args);
    return serve(app);
}
