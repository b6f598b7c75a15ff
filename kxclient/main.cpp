// kxclient: registers the URL scheme, starts up (nick, directory, packages, login) and runs
// the main window until the program ends.
#include "uFrmClient.h"
#include "uKXReport.h"
#include "uQtTranslations.h"
#include "uShell.h"
#include "uSkin.h"
#include "uUiHooks.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    KxRegisterUrlScheme(QCoreApplication::applicationFilePath());
    KxDirectory();
    KxRegisterSkin(app);
    KxLoadQtTranslations(app);
    KxRegisterReportEngine();

    std::unique_ptr<TFrmClient> client(KxStartClient(app.arguments().mid(1)));
    if (!client)
        return 0;
    client->show();
    return app.exec();
}
