#include "uExpressFiles.h"

#include "uHttpWeb.h"
#include "uLocalFiles.h"
#include "uUiHooks.h"
#include "ufrmBase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
QString& folderOverride()
{
    static QString folder;
    return folder;
}
}

void KxSetExpressFolder(const QString& folder)
{
    folderOverride() = folder;
}

QString KxExpressPath(const QString& stem, const QString& ext)
{
    const QString name = stem + u'.' + ext;
    if (!folderOverride().isEmpty())
        return QDir(folderOverride()).filePath(name);
    return KxUserFile(QStringLiteral("express/") + name);
}

bool KxExpressStemOk(const QString& stem, bool report)
{
    bool ok = KxIsPlainFileName(stem) && !stem.trimmed().isEmpty() && stem == stem.trimmed() && !stem.startsWith(u'.');
    for (const QChar c : stem)
        ok = ok && c.unicode() >= 0x20 && !QStringLiteral("\\/:*?\"<>|").contains(c);
    if (!ok && report)
        KxShowError(QStringLiteral("快递模板文件名不正确：%1").arg(stem));
    return ok;
}

bool KxWriteLocalExpressFile(const QString& stem, const QString& ext, const QByteArray& bytes)
{
    const QString path = KxExpressPath(stem, ext);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        KxShowError(QStringLiteral("无法写入文件：%1").arg(path));
        return false;
    }
    return true;
}

void KxRemoveLocalExpressFile(const QString& stem, const QString& ext)
{
    if (KxExpressStemOk(stem, false))
        QFile::remove(KxExpressPath(stem, ext));
}

TExpressFetch KxFetchExpressFile(const QString& method, const QString& stem, const QString& ext, QByteArray* bytes)
{
    if (!KxExpressStemOk(stem))
        return TExpressFetch::Failed;
    THttpWeb web;
    web.setModule(method.isEmpty() ? QStringLiteral("Express.FileGet") : method);
    web.Request()->AddParams(QStringLiteral("express_file"), stem);
    web.Request()->AddParams(QStringLiteral("ext"), ext);
    if (!web.SendData())
        return TExpressFetch::Failed;
    if (web.Response()->GetParam(QStringLiteral("exists")) == QLatin1String("1")) {
        *bytes = QByteArray::fromBase64(web.Response()->GetParamUtf8(QStringLiteral("filedata")));
        // The local copy follows the service's; an unchanged one is left alone.
        QFile local(KxExpressPath(stem, ext));
        if (!local.open(QIODevice::ReadOnly) || local.readAll() != *bytes) {
            local.close();
            KxWriteLocalExpressFile(stem, ext, *bytes);
        }
        return TExpressFetch::Found;
    }
    QFile local(KxExpressPath(stem, ext));
    if (!local.open(QIODevice::ReadOnly))
        return TExpressFetch::Missing;
    *bytes = local.readAll();
    return TExpressFetch::Found;
}

bool KxStoreExpressFile(const QString& method, const QString& stem, const QString& ext, const QByteArray& bytes)
{
    if (!KxExpressStemOk(stem))
        return false;
    THttpWeb web;
    web.setModule(method.isEmpty() ? QStringLiteral("Express.FilePut") : method);
    web.Request()->AddParams(QStringLiteral("express_file"), stem);
    web.Request()->AddParams(QStringLiteral("ext"), ext);
    web.Request()->AddFiles(QStringLiteral("filedata"), QString::fromLatin1(bytes.toBase64()));
    if (!web.SendData())
        return false;
    return KxWriteLocalExpressFile(stem, ext, bytes);
}
