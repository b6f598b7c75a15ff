// The Debian packages ./kx package builds, made here with CPack from this build tree into a
// temporary folder and looked at, never installed: their control data, files and maintainer
// scripts (dpkg-deb), lintian's verdict, and the packaged service run from the unpacked tree.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
struct TRun {
    int code = -1;
    QString out;
};

TRun run(const QString& program, const QStringList& args, const QString& dir = {}, int ms = 600000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    TRun r;
    if (p.waitForFinished(ms))
        r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAll());
    return r;
}
}

class TestPackages : public QObject {
    Q_OBJECT
    QTemporaryDir out;
    QString service, client;

    QString field(const QString& deb, const char* name) { return run("dpkg-deb", {"-f", deb, name}).out.trimmed(); }
    QStringList files(const QString& deb)
    {
        QStringList names;
        // "-rwxr-xr-x root/root 123 2026-12-10 12:00 ./usr/bin/x", links with " -> target".
        for (const QString& line : run("dpkg-deb", {"-c", deb}).out.split(u'\n', Qt::SkipEmptyParts))
            names << line.mid(line.indexOf(QStringLiteral(" ./")) + 2).section(QStringLiteral(" -> "), 0, 0)
                         + (line.startsWith(u'l') ? " (link)" : "");
        return names;
    }
    QString control(const QString& deb, const QString& file)
    {
        const QString dir = out.filePath("control-" + QFileInfo(deb).baseName());
        run("dpkg-deb", {"-e", deb, dir});
        QFile f(dir + u'/' + file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("<missing>");
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString build = QDir(qEnvironmentVariable("KX_BIN_DIR") + "/..").absolutePath();
        const TRun r = run("cpack", {"-G", "DEB", "-B", out.path()}, build, 900000);
        QVERIFY2(r.code == 0, qPrintable(r.out.right(3000)));
        for (const QString& f : QDir(out.path()).entryList({"*.deb"})) {
            if (f.startsWith("kxservice_"))
                service = out.filePath(f);
            else if (f.startsWith("varnoqerp_"))
                client = out.filePath(f);
        }
        QVERIFY2(!service.isEmpty() && !client.isEmpty(), qPrintable(QDir(out.path()).entryList().join(", ")));
    }

    void servicePackage()
    {
        QCOMPARE(field(service, "Package"), QString("kxservice"));
        const QString depends = field(service, "Depends");
        for (const char* d : {"libc6", "libqt6sql6", "libqt6sql6-sqlite", "libqt6sql6-psql", "libssl3", "libsodium23"})
            QVERIFY2(depends.contains(d), qPrintable(depends));
        const QStringList f = files(service);
        for (const char* path : {"/usr/lib/kxservice/kxservice", "/usr/lib/kxservice/libkx_cds.so", "/usr/lib/kxservice/libkx_wire.so", "/usr/bin/kxservice (link)",
                                 "/lib/systemd/system/kxservice.service", "/usr/lib/sysusers.d/kxservice.conf",
                                 "/etc/kxservice/kxservice.conf", "/usr/share/doc/kxservice/copyright"})
            QVERIFY2(f.contains(QString::fromUtf8(path)), path);
        QCOMPARE(control(service, "conffiles").trimmed(), QString("/etc/kxservice/kxservice.conf"));
        QVERIFY(control(service, "postinst").contains("systemd-sysusers kxservice.conf"));

        // What the unit starts: the packaged program with the packaged configuration file.
        QTemporaryDir root;
        QCOMPARE(run("dpkg-deb", {"-x", service, root.path()}).code, 0);
        QFile unit(root.filePath("lib/systemd/system/kxservice.service"));
        QVERIFY(unit.open(QIODevice::ReadOnly));
        const QString u = QString::fromUtf8(unit.readAll());
        QVERIFY(u.contains("User=kxservice"));
        QVERIFY(u.contains("StateDirectory=kxservice"));
        QVERIFY(u.contains("ExecStart=/usr/bin/kxservice --config /etc/kxservice/kxservice.conf"));
        // The unpacked program runs (its library found beside it) and takes the packaged file
        // with the database moved to a temporary folder.
        QFile conf(root.filePath("etc/kxservice/kxservice.conf"));
        QVERIFY(conf.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(conf.readAll());
        QVERIFY(text.contains("db = sqlite:/var/lib/kxservice/kxservice.db"));
        text.replace("/var/lib/kxservice", root.filePath("data"));
        QDir().mkpath(root.filePath("data"));
        QFile local(root.filePath("local.conf"));
        QVERIFY(local.open(QIODevice::WriteOnly));
        local.write(text.toUtf8());
        local.close();
        const TRun created = run(root.filePath("usr/lib/kxservice/kxservice"),
                                 {"admin", "create-seller", "--config", local.fileName(), "--nick", "pkg_shop"}, {}, 60000);
        QVERIFY2(created.code == 0, qPrintable(created.out));
        QVERIFY(QFile::exists(root.filePath("data/kxservice.db")));
    }

    void clientPackage()
    {
        QCOMPARE(field(client, "Package"), QString("varnoqerp"));
        const QStringList f = files(client);
        for (const char* path : {"/usr/lib/varnoqerp/kxclient", "/usr/bin/kxclient (link)", "/usr/lib/varnoqerp/libkx_utils.so", "/usr/lib/varnoqerp/libkx_wire.so",
                                 "/usr/lib/varnoqerp/bpl/kx_scrips.so", "/usr/lib/varnoqerp/bpl/kx_basic.so",
                                 "/usr/lib/varnoqerp/bpl/kx_express.so", "/usr/lib/varnoqerp/bpl/kx_report.so",
                                 "/usr/lib/varnoqerp/rmf/caigoudan.rmf", "/usr/share/applications/varnoqerp.desktop"})
            QVERIFY2(f.contains(QString::fromUtf8(path)), path);
        QTemporaryDir root;
        QCOMPARE(run("dpkg-deb", {"-x", client, root.path()}).code, 0);
        QFile desktop(root.filePath("usr/share/applications/varnoqerp.desktop"));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QString d = QString::fromUtf8(desktop.readAll());
        QVERIFY(d.contains("MimeType=x-scheme-handler/korvadex;"));
        QVERIFY(d.contains("Exec=/usr/bin/kxclient %u"));
    }

    // Lintian's errors fail the check; its warnings and notes are shown.
    void lintianFindsNoErrors_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("kxservice") << "service";
        QTest::newRow("varnoqerp") << "client";
    }
    void lintianFindsNoErrors()
    {
        QFETCH(QString, which);
        if (QStandardPaths::findExecutable("lintian").isEmpty())
            QSKIP("lintian is not installed (./kx deps installs it)");
        const TRun r = run("lintian", {"--fail-on", "error", which == "service" ? service : client});
        qInfo().noquote() << r.out;
        QVERIFY2(r.code == 0, qPrintable(r.out));
    }
};

QTEST_MAIN(TestPackages)
#include "tst_packages.moc"
