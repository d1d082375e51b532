#include "tests/support/MountedFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testing_support {

namespace {

QString failed(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

// Copies the plain files of one folder into another.
bool copyFiles(const QString& from, const QString& to)
{
    for (const QFileInfo& file : QDir(from).entryInfoList(QDir::Files | QDir::Hidden)) {
        if (!QFile::copy(file.absoluteFilePath(), to + u'/' + file.fileName()))
            return false;
    }
    return true;
}

} // namespace

MountedFolder::MountedFolder(const QString& folder, Kind kind) : m_folder(QDir(folder).absolutePath())
{
    m_oldNamespace = ::open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC);
    if (m_oldNamespace < 0) {
        m_problem = failed("no mount namespace");
        return;
    }
    if (::unshare(CLONE_NEWNS) != 0) {
        m_problem = failed("unshare");
        return;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        m_problem = failed("private mounts");
        return;
    }
    m_mounted = mount(kind);
}

bool MountedFolder::mount(Kind kind)
{
    const QByteArray target = QFile::encodeName(m_folder);
    if (kind == ReadOnly) {
        if (::mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0) {
            m_problem = failed("bind mount");
            return false;
        }
        if (::mount(nullptr, target.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            m_problem = failed("read-only remount");
            ::umount2(target.constData(), MNT_DETACH);
            return false;
        }
        return true;
    }
    // The folder's files on a file system just big enough for them, then filled up.
    QTemporaryDir aside;
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(m_folder).entryInfoList(QDir::Files | QDir::Hidden))
        bytes += (file.size() + 4095) / 4096 * 4096;
    const QByteArray size = "size=" + QByteArray::number(bytes + 256 * 1024);
    if (!aside.isValid() || !copyFiles(m_folder, aside.path())) {
        m_problem = QStringLiteral("the folder's files could not be copied aside");
        return false;
    }
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, size.constData()) != 0) {
        m_problem = failed("tmpfs mount");
        return false;
    }
    if (!copyFiles(aside.path(), m_folder)) {
        m_problem = QStringLiteral("the folder's files could not be copied onto the small file system");
        ::umount2(target.constData(), MNT_DETACH);
        return false;
    }
    QFile filler(m_folder + QStringLiteral("/filler"));
    if (filler.open(QIODevice::WriteOnly)) {
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    return true;
}

MountedFolder::~MountedFolder()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    if (m_oldNamespace >= 0) {
        (void)!::setns(m_oldNamespace, CLONE_NEWNS);
        ::close(m_oldNamespace);
    }
}

} // namespace testing_support
