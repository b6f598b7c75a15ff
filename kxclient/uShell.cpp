#include "uShell.h"
#include "uLocalFiles.h"
#include "uFrmAbout.h"
#include "uFrmClient.h"
#include "uFrmLogon.h"
#include "uFrmNick.h"
#include "uFormatSettings.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uPackages.h"
#include "uUiHooks.h"
#include "ufrmBase.h"
#include "wire/uConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextStream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

QString& appTitle()
{
    static QString title = QStringLiteral("VarnoqERP");
    return title;
}

std::function<void()>& terminateHandler()
{
    static std::function<void()> handler;
    return handler;
}

bool terminated = false;

const QString kNickFile = QStringLiteral("nick.dll");

#ifdef _WIN32
void setRegValue(HKEY root, const wchar_t* key, const wchar_t* name, const QString& value)
{
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring v = value.toStdWString();
    RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()), DWORD((v.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}
#endif

// nick.dll as this program writes it (UTF-8), as other tools wrote it (with a byte order mark)
// or as an older client wrote it (the local GB encoding); a byte order mark is never part of
// the nick.
QString nickText(const QByteArray& bytes)
{
    if (const auto bom = QStringConverter::encodingForData(bytes))
        return QStringDecoder(*bom)(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QStringDecoder("GB18030")(bytes);
}

} // namespace

THttpWeb& KxDirectory()
{
    static THttpWeb* directory = new THttpWeb; // lives as long as the program
    return *directory;
}

QString KxDirectoryParam(const QString& name)
{
    return KxDirectory().Response()->GetParam(name);
}

QString KxAppTitle()
{
    return appTitle();
}

void KxSetAppTitle(const QString& title)
{
    appTitle() = title;
}

QString KxNickFromUrl(const QString& arg)
{
    return QString(arg).remove(QStringLiteral("korvadex://")).remove(u'/');
}

// The operator's copy first (an installed program folder is read-only), then the folder's.
static QString nickPath(const QString& dir)
{
    return KxUserFileIn(dir, QFileInfo(dir).isWritable(), KxUserDataDir(), kNickFile);
}

QString KxReadMasterNick(const QString& dir, const QStringList& args)
{
    QFile f(nickPath(dir));
    if (f.exists()) {
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return KxTrimLow(nickText(f.readAll()));
    }
    return args.isEmpty() ? QString() : KxNickFromUrl(args.first());
}

bool KxWriteMasterNick(const QString& dir, const QString& nick)
{
    QFile f(nickPath(dir));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write((nick + u'\n').toUtf8()) >= 0;
}

void KxRegisterUrlScheme(const QString& programPath)
{
#ifdef _WIN32
    const QString name = QStringLiteral("【Quillbo】Varnoq专用链接");
    const QString native = QDir::toNativeSeparators(programPath);
    setRegValue(HKEY_CLASSES_ROOT, L"Korvadex", nullptr, QStringLiteral("URL:") + name);
    setRegValue(HKEY_CLASSES_ROOT, L"Korvadex", L"URL Protocol", name);
    setRegValue(HKEY_CLASSES_ROOT, L"Korvadex\\DefaultIcon", nullptr, native);
    setRegValue(HKEY_CLASSES_ROOT, L"Korvadex\\shell\\open\\command", nullptr,
                u'"' + native + QStringLiteral("\" \"%1\""));
#else
    // A desktop entry naming this program as handler of korvadex: links, then xdg-mime
    // makes it the default. Without a desktop (or without xdg-utils) nothing happens.
    const QString apps = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    if (apps.isEmpty() || !QDir().mkpath(apps))
        return;
    const QString entryName = QStringLiteral("korvadex-kxclient.desktop");
    QFile f(apps + u'/' + entryName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QString quoted = programPath;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    QTextStream out(&f);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=【Quillbo】Varnoq专用链接\n"
        << "Exec=\"" << quoted << "\" %u\n"
        << "Icon=" << QFileInfo(programPath).absolutePath() << "/image/logo.png\n"
        << "MimeType=x-scheme-handler/korvadex;\n"
        << "NoDisplay=true\n"
        << "Terminal=false\n";
    out.flush();
    f.close();
    QProcess::startDetached(QStringLiteral("xdg-mime"),
                            {QStringLiteral("default"), entryName, QStringLiteral("x-scheme-handler/korvadex")});
#endif
}

bool KxDirectoryCall(const QString& dir, const QStringList& args)
{
    THttpWeb& web = KxDirectory();
    web.setModule(QStringLiteral("PowerMger.Module"));
    web.setNickid(QString());
    web.setOperid(QString());
    web.Request()->AddParams(QStringLiteral("masternick"), KxReadMasterNick(dir, args));
    if (!web.SendData())
        return false;
    gNickId = KxDirectoryParam(QStringLiteral("nickid"));
    gNickName = KxDirectoryParam(QStringLiteral("nickname"));
    KxSetAppTitle(KxDirectoryParam(QStringLiteral("moduletitle")));
    return true;
}

QStringList KxPackageList()
{
    THttpWeb web;
    web.setModule(KxDirectoryParam(QStringLiteral("loadlib")));
    web.setNickid(gNickId);
    web.setOperid(QString());
    QStringList names;
    if (!web.SendData())
        return names;
    TPClientDataSet ds;
    if (!ds.SetKXXMLData(web.Response()->GetParam(QStringLiteral("xmldata"))))
        return names;
    for (ds.First(); !ds.Eof(); ds.Next())
        names << ds.FieldByName(QStringLiteral("libname"))->AsString();
    return names;
}

void KxTerminate()
{
    terminated = true;
    if (terminateHandler())
        terminateHandler()();
    else
        QCoreApplication::exit(0);
}

bool KxTerminated()
{
    return terminated;
}

void KxSetTerminateHandler(std::function<void()> handler)
{
    terminateHandler() = std::move(handler);
    terminated = false;
}

TFrmClient* KxStartClient(const QStringList& args)
{
    KxApplyFormatSettings(QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm:ss"));
    KxSetAppTitle(QStringLiteral("VarnoqERP"));
    const QString dir = KxProgramDir();

    if (KxReadMasterNick(dir, args).isEmpty()) {
        TFrmNick nick(dir);
        if (KxUi().ShowModal(&nick) != mrOk)
            return nullptr;
    }

    QPointer<TFrmAbout> splash = new TFrmAbout;
    splash->show();
    splash->repaint();

    if (!KxDirectoryCall(dir, args)) {
        delete splash;
        return nullptr;
    }

    auto* client = new TFrmClient;
    QPointer<TFrmLogon> logon = new TFrmLogon;

    const QString bpl = KxPackageDir();
    for (const QString& lib : KxPackageList()) {
        if (KxIsPlainFileName(lib) && !QFileInfo::exists(bpl + u'/' + lib))
            continue; // named but not installed: skipped without a word
        if (splash)
            splash->SetLoading(lib);
        const TKxPackageResult r = KxLoadPackage(bpl, lib);
        if (!r.ok() && r.reason != TKxPackageResult::Reason::Missing)
            KxShowError(r.message);
    }
    delete splash;

    const int result = KxUi().ShowModal(logon);
    delete logon;
    if (result != mrOk || KxTerminated()) {
        delete client;
        return nullptr;
    }
    return client;
}
