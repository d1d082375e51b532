#include "platform/UseLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {
// How often a waiting share looks again: a restore holds the lock for a copy or two.
constexpr int kPollMs = 20;
} // namespace

UseLock::UseLock(const QString& file) : m_file(sideFile(file)) {}

UseLock::~UseLock()
{
    release();
}

QString UseLock::sideFile(const QString& file)
{
    return file + QStringLiteral("-lock");
}

bool UseLock::openSideFile()
{
    if (m_fd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(m_file);
    // Close-on-exec: a spreadsheet program started from here must not keep the ledger
    // "in use" after Tallyfold has gone. A lock file made by another user may only be
    // readable, which is enough for a lock.
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (m_fd < 0)
        m_fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    return m_fd >= 0;
}

bool UseLock::share(int waitMs)
{
    if (!openSideFile())
        return true;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(m_fd, LOCK_SH | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true;   // a file system without locks: nothing can be held
        if (waited.elapsed() >= waitMs) {
            release();
            return false;
        }
        QThread::msleep(kPollMs);
    }
}

bool UseLock::takeAlone()
{
    if (!openSideFile())
        return false;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    release();
    return false;
}

void UseLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);   // lets go of the lock with it
        m_fd = -1;
    }
}

} // namespace platform
