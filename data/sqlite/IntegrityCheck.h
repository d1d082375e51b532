#pragma once
// A full check of a database file (SQLite's integrity_check) on a connection and thread
// of its own, so that a large ledger is checked while the user goes on working.

#include <QByteArray>
#include <QString>
#include <functional>
#include <mutex>
#include <thread>

struct sqlite3;

namespace platform {

class IntegrityCheck {
public:
    // Starts checking the file `uri` names (an SQLite file URI). `done` runs once, on
    // the check's own thread, with SQLite's result code and the first problem found
    // ("" when the file is sound). It does not run when the check was ended early.
    IntegrityCheck(const QByteArray& uri, std::function<void(int result, const QString& problem)> done);
    // Ends the check early and waits for its thread.
    ~IntegrityCheck();
    IntegrityCheck(const IntegrityCheck&) = delete;
    IntegrityCheck& operator=(const IntegrityCheck&) = delete;

private:
    void run(const QByteArray& uri, const std::function<void(int, const QString&)>& done);

    std::mutex m_mutex;
    sqlite3* m_db = nullptr;   // while checking, for interrupting
    bool m_ending = false;
    std::thread m_thread;
};

} // namespace platform
