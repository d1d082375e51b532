#pragma once
// What every ledger back end reports the same way: a failing statement, the problem
// that keeps a ledger from being written, and how the owner of a connection hears of
// it. (They keep the namespace they were born in; the file back end was first.)

#include "platform/AppError.h"

#include <QString>
#include <functional>
#include <optional>

namespace platform {

// A failing statement or query. what() is the database's own message (UTF-8).
class DbError : public AppError {
public:
    using AppError::AppError;
};

// What keeps a connection from writing to its file.
enum class FileProblem {
    None,
    Damaged,        // open read-only; what can be read is read
    NotALedger,     // refused: a database without the ledger tables
    NewerVersion,   // refused: written by a newer version
    CannotUpgrade,  // refused: an older version that could not be brought up to date
    ReadOnly,       // open read-only: the file or its folder cannot be written, or the
                    // disk has no room for the files reading it takes (on a server:
                    // the login role may only read)
    Replaced,       // another file took its place while it was open: nothing more is
                    // written to the one open, which no longer is the ledger
    Away,           // the server cannot be reached: what was read stays readable, every
                    // write is refused until the connection is back (then None again)
};

// A statement or query refused because of a FileProblem. what() is the message the user
// is given. A refused write is always shown; a read cut short by damage the user was
// already told of is quiet, so one damaged file never gives a cascade of reports.
class FileRefusal : public DbError {
public:
    FileRefusal(const QString& message, bool quiet) : DbError(message), m_quiet(quiet) {}
    bool quiet() const { return m_quiet; }

private:
    bool m_quiet;
};

// How the owner of a connection hears of its ledger: every member is optional.
struct ConnectionOwner {
    // The message for a problem with `ledger` (a file's path, or a server ledger's name);
    // detail is the database's own words.
    std::function<QString(FileProblem, const QString& ledger, const QString& detail)> describe = {};
    // Tells the user of damage found by a read or by the background check, of a server
    // gone away or back (a refused write or open is told by whoever catches the
    // FileRefusal).
    std::function<void(const QString& message)> tell = {};
    // Runs whenever problem() changes.
    std::function<void()> changed = {};
    // Runs before an older ledger is brought up to date, while it is still untouched;
    // throwing stops the opening and leaves the ledger as it is.
    std::function<void(const QString& ledger, int fromVersion)> beforeMigration = {};
    // Runs, on the event loop, when someone else has committed a change to the ledger
    // (a back end that can tell: another desktop on a server ledger), and when the
    // ledger came back after the connection was lost: what was read may be stale.
    std::function<void()> othersChanged = {};
    // Asked when the server database named holds no tables yet: whether to make it a
    // ledger (unset: it is refused as no ledger).
    std::function<bool(const QString& ledger)> createLedger = {};
    // Asked when the server wants a password that libpq's own means (~/.pgpass, a service
    // file, PGPASSWORD) did not give: the password, kept in memory only, or nullopt.
    std::function<std::optional<QString>(const QString& ledger)> password = {};
    // Runs once a server ledger has opened (read-only included): what named it may be
    // kept for the next start.
    std::function<void()> opened = {};
    // Nothing runs the event loop later (a command): a commit whose answer the lost
    // server never gave is settled before the commit returns (see ServerBackend).
    bool settlesLostCommits = false;
};

} // namespace platform
