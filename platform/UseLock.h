#pragma once
// Who has a file in use, told by an advisory lock on a side file beside it,
// "<file>-lock": every copy of the program holds it shared for as long as it has the
// file open or reads it whole for a backup, and a restore holds it alone while it puts
// another file in the file's place. The lock belongs to the open side file (flock), so
// it goes when its holder lets go, closes or dies, however it ends; two holders in one
// process count as two users; and a program started from this one inherits none of it.

#include <QString>

namespace platform {

class UseLock {
public:
    // Nothing is held yet.
    explicit UseLock(const QString& file);
    ~UseLock();
    UseLock(const UseLock&) = delete;
    UseLock& operator=(const UseLock&) = delete;

    // The side file of `file`.
    static QString sideFile(const QString& file);

    // Takes the lock shared, waiting up to waitMs for a holder who has it alone; false
    // when that one did not let go in time. Where the side file can neither be made nor
    // opened (a read-only folder, where no file can be put in this one's place either)
    // nothing is held and the answer is true.
    bool share(int waitMs);
    // Takes the lock alone without waiting: false while anyone else holds it, or when the
    // side file cannot be made or opened (then nobody can be told apart).
    bool takeAlone();
    // Lets go of whatever is held.
    void release();

private:
    bool openSideFile();

    QString m_file;
    int m_fd = -1;
};

} // namespace platform
