#include "tests/support/PgFolders.h"

#include "tests/support/PgProgram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace testing_support::pg {

namespace {

// Raised whenever the way the template is made changes, so that a template made the
// old way is not used again.
const char* const kTemplateRecipe = "r1";

// Owned folders are named "<kind>.<pid>.<start time>.<random>": a server's folder, a
// template being built, a folder being removed.
const QString kServer = QStringLiteral("server");
const QString kBuilding = QStringLiteral("building");
const QString kRemoving = QStringLiteral("removing");

QString ownedName(const QString& kind)
{
    return QStringLiteral("%1.%2.%3").arg(kind, processTag(), QString::number(QRandomGenerator::global()->generate(), 16));
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Renames `folder` to a name of ours first, so that two processes sweeping at once
// never remove the same folder, and a removal cut short is finished by a later sweep.
void claimAndRemove(const QString& folder)
{
    const QString claimed = QFileInfo(folder).path() + u'/' + ownedName(kRemoving);
    if (std::rename(QFile::encodeName(folder).constData(), QFile::encodeName(claimed).constData()) != 0)
        return;
    const QString data = claimed + QStringLiteral("/data");
    if (QFile::exists(data + QStringLiteral("/postmaster.pid")))
        runServerProgram(QStringLiteral("pg_ctl"),
                         {QStringLiteral("stop"), QStringLiteral("-D"), data, QStringLiteral("-m"),
                          QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("-s")},
                         claimed);
    QDir(claimed).removeRecursively();
}

QString writeFile(const QString& path, QIODevice::OpenMode mode, const QByteArray& text)
{
    // Rewriting the file in place keeps its owner, the server's user.
    QFile file(path);
    if (!file.open(mode) || file.write(text) != text.size() || !file.flush())
        return QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    return {};
}

// The settings every throw-away server shares: nothing it holds needs to survive a
// crash of the machine, so nothing is flushed to the disk; only the socket is allowed
// in, without a password.
QString configureTemplate(const QString& folder)
{
    QString why = writeFile(folder + QStringLiteral("/pg_hba.conf"), QIODevice::WriteOnly | QIODevice::Truncate,
                            "local all all trust\n");
    if (why.isEmpty())
        why = writeFile(folder + QStringLiteral("/postgresql.conf"), QIODevice::Append,
                        "\n# A throw-away server for tests\n"
                        "fsync = off\n"
                        "full_page_writes = off\n");
    return why;
}

} // namespace

QString defaultBaseFolder()
{
    // A server's folder holds about a thousand small files, and each new database
    // three hundred more: on a disk, making them takes most of a start; in memory next
    // to nothing. Memory is used when there is plenty of it.
    constexpr qint64 kEnoughMemory = qint64(2) << 30;
    struct statfs memory {};
    const bool inMemory = ::statfs("/dev/shm", &memory) == 0 && memory.f_type == TMPFS_MAGIC &&
                          qint64(memory.f_bavail) * qint64(memory.f_bsize) >= kEnoughMemory &&
                          ::access("/dev/shm", W_OK | X_OK) == 0;
    return (inMemory ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
           QStringLiteral("/tallyfold-pg-%1").arg(::geteuid());
}

QString prepareBaseFolder(const QString& base)
{
    QDir().mkpath(base);
    struct stat info {};
    if (::lstat(QFile::encodeName(base).constData(), &info) != 0)
        return QStringLiteral("the folder %1 cannot be made: %2").arg(base, errnoText());
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return QStringLiteral("%1 is not a folder of this user").arg(base);
    // Root runs the server as another user, who must pass through to its folders.
    if (::chmod(QFile::encodeName(base).constData(), ::geteuid() == 0 ? 0755 : 0700) != 0)
        return QStringLiteral("the folder %1 cannot be opened to the server: %2").arg(base, errnoText());
    return {};
}

void removeAbandoned(const QString& base)
{
    for (const QString& name : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QStringList parts = name.split(u'.');
        if (parts.size() != 4 || !(parts[0] == kServer || parts[0] == kBuilding || parts[0] == kRemoving))
            continue;
        if (!processAlive(parts[1] + u'.' + parts[2]))
            claimAndRemove(base + u'/' + name);
    }
}

QString templateFolder(const QString& base, QString* why)
{
    const QString version = serverVersion();
    if (version.isEmpty()) {
        *why = QStringLiteral("PostgreSQL 15 is not installed (no initdb in %1)").arg(binFolder());
        return {};
    }
    const QString folder = base + QStringLiteral("/template-%1-%2").arg(version, QLatin1String(kTemplateRecipe));
    if (QFile::exists(folder + QStringLiteral("/PG_VERSION")))
        return folder;

    const QString building = base + u'/' + ownedName(kBuilding);
    if (!QDir().mkdir(building) || ::chmod(QFile::encodeName(building).constData(), 0700) != 0) {
        *why = QStringLiteral("the folder %1 cannot be made").arg(building);
        return {};
    }
    *why = giveToServerUser(building);
    if (why->isEmpty()) {
        const ProgramRun initdb = runServerProgram(
            QStringLiteral("initdb"),
            {QStringLiteral("-D"), building, QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
             QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--auth-local=trust"),
             QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("--no-sync"),
             QStringLiteral("--no-instructions")},
            base);
        if (!initdb.ok)
            *why = QStringLiteral("initdb failed: ") + initdb.output;
    }
    if (why->isEmpty())
        *why = configureTemplate(building);
    if (why->isEmpty() &&
        std::rename(QFile::encodeName(building).constData(), QFile::encodeName(folder).constData()) != 0) {
        const QString error = errnoText();
        if (!QFile::exists(folder + QStringLiteral("/PG_VERSION")))
            *why = QStringLiteral("the template %1 cannot be put in place: %2").arg(folder, error);
    }
    // Ours, when another process put its template in place first, or when ours failed.
    if (QFile::exists(building))
        claimAndRemove(building);
    return why->isEmpty() ? folder : QString();
}

QString newServerFolder(const QString& base, QString* why)
{
    const QString folder = base + u'/' + ownedName(kServer);
    if (!QDir().mkdir(folder) || ::chmod(QFile::encodeName(folder).constData(), 0755) != 0) {
        *why = QStringLiteral("the folder %1 cannot be made").arg(folder);
        return {};
    }
    *why = giveToServerUser(folder);
    if (!why->isEmpty()) {
        QDir(folder).removeRecursively();
        return {};
    }
    return folder;
}

void removeFolder(const QString& folder)
{
    claimAndRemove(folder);
}

} // namespace testing_support::pg
