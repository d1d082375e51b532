#pragma once
// A folder seen through a mount of its own, for this thread and the threads it starts
// afterwards (a private mount namespace, so nothing outside the test sees it): the
// folder read-only, or on a small file system with its files and no room left. Tests
// run as root; where mounting is impossible, available() is false and says why, and the
// test skips. Everything is put back when it goes.

#include <QString>

namespace testing_support {

class MountedFolder {
public:
    enum Kind { ReadOnly, Full };
    MountedFolder(const QString& folder, Kind kind);
    ~MountedFolder();
    MountedFolder(const MountedFolder&) = delete;
    MountedFolder& operator=(const MountedFolder&) = delete;

    bool available() const { return m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

private:
    bool mount(Kind kind);

    QString m_folder;
    QString m_problem;
    int m_oldNamespace = -1;
    bool m_mounted = false;
};

} // namespace testing_support
