#include "shell/Shell32.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace shell {

namespace {

constexpr int kRoundMs = 100;

// The program a command line names, found as the system would start it; when it is
// not found (empty path), the reason it cannot be started.
struct Resolved {
    QString path;
    RunError error = kInvalidCall;
};

Resolved resolveProgram(const QString& program)
{
    if (program.isEmpty())
        return {};
    if (!program.contains(u'/')) {
        // Only an executable file counts as found on the search path.
        const QString found = QStandardPaths::findExecutable(program);
        return found.isEmpty() ? Resolved{{}, kFileNotFound} : Resolved{found};
    }
    const QFileInfo info(program);
    if (!info.exists())
        return {{}, kFileNotFound};
    if (info.isDir() || !info.isExecutable())
        return {{}, kPermissionDenied};
    return {info.absoluteFilePath()};
}

std::function<void(bool)>& roundObserver()
{
    static std::function<void(bool)> observer;
    return observer;
}

} // namespace

void setRoundObserver(std::function<void(bool running)> observer)
{
    roundObserver() = std::move(observer);
}

QString quoteArgument(const QString& argument)
{
    return u'"' + QString(argument).replace(u'"', QStringLiteral("\"\"\"")) + u'"';
}

std::int32_t RunAndWait(const QString& commandLine, int windowStyle)
{
    if (windowStyle < 0 || windowStyle > 6)
        windowStyle = 6;

    QStringList arguments = QProcess::splitCommand(commandLine);
    const Resolved program = resolveProgram(arguments.isEmpty() ? QString() : arguments.takeFirst());
    if (program.path.isEmpty())
        return kObjectError + program.error;

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TALLYFOLD_WINDOW_STYLE"), QString::number(windowStyle));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program.path, arguments);
    // Found and executable, yet refused: not a program this system runs (or no
    // resources left to start one).
    if (!process.waitForStarted(-1))
        return kObjectError + kInvalidCall;

    // Rounds of 100 ms: pending window events run, then the rest of the round is spent
    // waiting on the process; a process that ends early still sees the round out.
    do {
        const QDeadlineTimer round(kRoundMs);
        const bool running = process.state() != QProcess::NotRunning;
        QCoreApplication::processEvents();
        if (process.state() != QProcess::NotRunning)
            process.waitForFinished(int(round.remainingTime()));
        QThread::msleep(static_cast<unsigned long>(round.remainingTime()));
        if (roundObserver())
            roundObserver()(running);
    } while (process.state() != QProcess::NotRunning);

    if (process.exitStatus() == QProcess::CrashExit)
        return 128 + process.exitCode();
    return process.exitCode();
}

} // namespace shell
