#include "uLocalFiles.h"
#include "ufrmBase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString KxUserDataDir()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/varnoqerp");
}

QString KxUserFileIn(const QString& programDir, bool programWritable, const QString& userDir, const QString& relative)
{
    const QString user = QDir(userDir).filePath(relative);
    const QString program = QDir(programDir).filePath(relative);
    if (QFileInfo::exists(user))
        return user;
    if (programWritable)
        return program;
    QDir().mkpath(QFileInfo(user).absolutePath());
    if (QFileInfo::exists(program))
        QFile::copy(program, user); // keeps the mode: the operator's own copy, writable by the operator
    return user;
}

QString KxUserFile(const QString& relative)
{
    const QString dir = KxProgramDir();
    const QFileInfo folder(QDir(dir).filePath(QFileInfo(relative).path()));
    return KxUserFileIn(dir, folder.isDir() ? folder.isWritable() : QFileInfo(dir).isWritable(), KxUserDataDir(), relative);
}
