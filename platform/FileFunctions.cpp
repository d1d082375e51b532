#include "platform/FileFunctions.h"

#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

QString GetSpecialFolder(int folder)
{
    if (folder != 35)
        return {};
    // A relative data home is invalid by the desktop's own rules and is ignored; it
    // would put the ledger wherever the program happened to be started.
    const QString data = qEnvironmentVariable("XDG_DATA_HOME").trimmed();
    if (!data.isEmpty() && QDir::isAbsolutePath(data))
        return QDir::cleanPath(data);
    const QString home = qEnvironmentVariable("HOME").trimmed();
    if (!home.isEmpty())
        return QDir::cleanPath(home + QStringLiteral("/.local/share"));
    return {};
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString DirEntry(const QString& path, bool withFolders)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isHidden())
        return {};
    if (!withFolders && !info.isFile())
        return {};
    return info.fileName();
}

QString FirstFileName(const QString& folder)
{
    const QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    return names.isEmpty() ? QString() : names.first();
}

void MakeFolder(const QString& path)
{
    // The desktop's data home need not exist yet on a fresh account; the folders above
    // the one asked for are made with it.
    if (!QDir().mkpath(path))
        throw platform::AppError(QStringLiteral("Path/File access error: cannot create the folder '%1'").arg(path));
}

void CopyFile(const QString& from, const QString& to)
{
    if (!QFileInfo(from).isFile())
        throw platform::AppError(QStringLiteral("File not found: '%1'").arg(from));
    QFile source(from);
    if (!source.copy(to))
        throw platform::AppError(
            QStringLiteral("Path/File access error: cannot copy '%1' to '%2' (%3)").arg(from, to, source.errorString()));
    // The copy is the user's own working file: a template installed read-only must not
    // give a ledger that refuses every change.
    QFile::setPermissions(to, QFile::permissions(to) | QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace platform
