#pragma once
// A full check of a database file (SQLite's integrity_check) on a connection of its own,
// run on Qt's thread pool, so that a large ledger is checked while the user goes on
// working; or the same check at once, where nobody works meanwhile.

#include <QByteArray>
#include <QFuture>
#include <QFutureWatcher>
#include <QString>
#include <functional>

struct sqlite3;

namespace platform {

class IntegrityCheck {
public:
    // How a check ended: SQLite's result code and the first problem found ("" when the
    // file is sound).
    struct Outcome {
        int result = 0;
        QString problem;
    };

    // Starts checking the file `uri` names (an SQLite file URI). `done` runs once, from
    // the event loop of the thread that made the check, with how it ended; it does not
    // run when the check was ended early.
    IntegrityCheck(const QByteArray& uri, std::function<void(const Outcome&)> done);
    // Ends the check early and waits for it.
    ~IntegrityCheck();
    IntegrityCheck(const IntegrityCheck&) = delete;
    IntegrityCheck& operator=(const IntegrityCheck&) = delete;

    // The same check of the file `uri` names, made at once on this thread: for work that
    // is about to write and has no user to go on working meanwhile (the command line).
    static Outcome now(const QByteArray& uri);

    // Waits for this check to end and gives how it ended, instead of `done` (which then
    // never runs): for work that started the check early and must know before it writes.
    Outcome wait();

    // Whether the check is still going, or its outcome still on its way to `done`.
    bool running() const { return m_running; }

private:
    sqlite3* m_db = nullptr;   // the check's own, opened and closed on the making thread
    QFuture<Outcome> m_future;
    QFutureWatcher<Outcome> m_watcher;
    bool m_running = true;
};

} // namespace platform
