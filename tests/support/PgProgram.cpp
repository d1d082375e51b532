#include "tests/support/PgProgram.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace testing_support::pg {

namespace {

// initdb takes a few seconds on a quiet machine; a loaded one under the sanitizers may
// take many times that, and a program that never ends still ends the wait.
constexpr int kProgramWaitMs = 180000;

const char* const kServerUser = "postgres";

ProgramRun runAs(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(workingFolder);
    // Variables naming another server must not reach the programs started here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"PGDATA", "PGHOST", "PGPORT", "PGUSER", "PGDATABASE", "PGOPTIONS"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForStarted(kProgramWaitMs)) {
        run.output = program + QStringLiteral(": ") + process.errorString();
        return run;
    }
    const bool ended = process.waitForFinished(kProgramWaitMs);
    run.output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (!ended) {
        process.kill();
        process.waitForFinished(kProgramWaitMs);
        run.output = program + QStringLiteral(" did not end: ") + run.output;
        return run;
    }
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

struct ProcessStat {
    char state = '?';
    QByteArray startTime;
};

std::optional<ProcessStat> readStat(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.readAll();
    // The command name may hold spaces and parentheses; the fields after its closing
    // one are plain: state is field 3, the start time field 22.
    const int nameEnd = text.lastIndexOf(')');
    const QList<QByteArray> fields = text.mid(nameEnd + 2).split(' ');
    if (nameEnd < 0 || fields.size() < 20 || fields[0].isEmpty())
        return std::nullopt;
    return ProcessStat{fields[0].at(0), fields[19]};
}

} // namespace

QString binFolder()
{
    return QStringLiteral("/usr/lib/postgresql/15/bin");
}

ProgramRun runServerProgram(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    const QString path = binFolder() + u'/' + program;
    if (::geteuid() != 0)
        return runAs(path, arguments, workingFolder);
    return runAs(QStringLiteral("runuser"),
                 QStringList{QStringLiteral("-u"), QString::fromLatin1(kServerUser), QStringLiteral("--"), path} +
                     arguments,
                 workingFolder);
}

ProgramRun runProgram(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    return runAs(program, arguments, workingFolder);
}

QString giveToServerUser(const QString& path)
{
    if (::geteuid() != 0)
        return {};
    const passwd* user = ::getpwnam(kServerUser);
    if (!user)
        return QStringLiteral("there is no user '%1' to run the server as").arg(QLatin1String(kServerUser));
    if (::chown(QFile::encodeName(path).constData(), user->pw_uid, user->pw_gid) != 0)
        return QStringLiteral("%1 cannot be given to the user '%2'").arg(path, QLatin1String(kServerUser));
    return {};
}

QString serverVersion()
{
    static const QString version = [] {
        const ProgramRun run = runAs(binFolder() + QStringLiteral("/initdb"), {QStringLiteral("--version")},
                                     QStringLiteral("/"));
        // "initdb (PostgreSQL) 15.18 (Debian 15.18-0+deb12u1)"
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("\\(PostgreSQL\\) ([0-9.]+)")).match(run.output);
        return match.hasMatch() ? match.captured(1) : QString();
    }();
    return version;
}

QString processTag()
{
    const qint64 pid = ::getpid();
    const std::optional<ProcessStat> stat = readStat(pid);
    return QStringLiteral("%1.%2").arg(pid).arg(QString::fromLatin1(stat ? stat->startTime : QByteArray("0")));
}

bool processAlive(const QString& tag)
{
    bool numeric = false;
    const qint64 pid = tag.section(u'.', 0, 0).toLongLong(&numeric);
    if (!numeric || pid <= 0)
        return false;
    const std::optional<ProcessStat> stat = readStat(pid);
    return stat && stat->state != 'Z' && QString::fromLatin1(stat->startTime) == tag.section(u'.', 1, 1);
}

bool processRunning(qint64 pid)
{
    const std::optional<ProcessStat> stat = readStat(pid);
    return stat && stat->state != 'Z';
}

} // namespace testing_support::pg
