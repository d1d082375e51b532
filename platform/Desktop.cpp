#include "platform/Desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

namespace {
Desktop* g_current = nullptr;
constexpr int kAskTimeoutMs = 3000;
} // namespace

Desktop& Desktop::current()
{
    static QtDesktop real;
    return g_current ? *g_current : real;
}

void Desktop::setCurrent(Desktop* desktop)
{
    g_current = desktop;
}

bool QtDesktop::open(const QUrl& target)
{
    return QDesktopServices::openUrl(target);
}

bool QtDesktop::canOpen(const QString& mimeType, const QStringList& programs)
{
    for (const QString& program : programs) {
        if (!QStandardPaths::findExecutable(program).isEmpty())
            return true;
    }
    // The desktop's own association, as xdg-open will follow it.
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        return false;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(kAskTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0
        && !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace platform
