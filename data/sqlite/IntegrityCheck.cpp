#include "data/sqlite/IntegrityCheck.h"

#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>
#include <sqlite3.h>

namespace platform {

namespace {

// SQLite asks this every so many steps of the check; a nonzero answer ends it. It
// covers an end asked for before the check's statement started, which an interrupt
// alone would miss (SQLite forgets an interrupt while no statement runs).
int endedEarly(void* promise)
{
    return static_cast<QPromise<IntegrityCheck::Outcome>*>(promise)->isCanceled() ? 1 : 0;
}

// The check itself, run on `db` (`opened`: how opening it went); `promise`, when there is
// one, can end it early.
IntegrityCheck::Outcome check(sqlite3* db, int opened, QPromise<IntegrityCheck::Outcome>* promise)
{
    IntegrityCheck::Outcome outcome;
    int& rc = outcome.result;
    rc = db ? opened : SQLITE_NOMEM;
    if (db && promise)
        sqlite3_progress_handler(db, 1000, endedEarly, promise);
    sqlite3_stmt* stmt = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if ((rc = sqlite3_step(stmt)) != SQLITE_ROW)
            break;
        const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        if (outcome.problem.isEmpty() && line != QLatin1String("ok"))
            outcome.problem = line;
    }
    if (rc == SQLITE_DONE)
        rc = SQLITE_OK;
    else if (outcome.problem.isEmpty() && db)
        outcome.problem = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    if (db)
        sqlite3_progress_handler(db, 0, nullptr, nullptr);   // the promise ends with this call
    return outcome;
}

int openForCheck(const QByteArray& uri, sqlite3** db)
{
    return sqlite3_open_v2(uri.constData(), db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr);
}

} // namespace

IntegrityCheck::IntegrityCheck(const QByteArray& uri, std::function<void(const Outcome&)> done)
{
    // Opened here, so that the handle to interrupt lives exactly as long as this object;
    // the pool's thread only uses it in between.
    // A failed opening is the check's outcome: its message is read on the pool's thread.
    const int opened = openForCheck(uri, &m_db);
    QObject::connect(&m_watcher, &QFutureWatcherBase::finished, [this, done = std::move(done)] {
        m_running = false;
        const Outcome outcome = m_future.resultCount() > 0 ? m_future.result() : Outcome{SQLITE_INTERRUPT, {}};
        if (outcome.result != SQLITE_INTERRUPT)
            done(outcome);
    });
    m_future = QtConcurrent::run([db = m_db, opened](QPromise<Outcome>& promise) {
        promise.addResult(check(db, opened, &promise));
    });
    m_watcher.setFuture(m_future);
}

IntegrityCheck::~IntegrityCheck()
{
    // Nothing is told from here on, whatever the check had found.
    m_watcher.disconnect();
    m_future.cancel();
    if (m_db)
        sqlite3_interrupt(m_db);
    m_future.waitForFinished();
    sqlite3_close_v2(m_db);
}

IntegrityCheck::Outcome IntegrityCheck::wait()
{
    m_watcher.disconnect();
    m_future.waitForFinished();
    m_running = false;
    return m_future.resultCount() > 0 ? m_future.result() : Outcome{SQLITE_INTERRUPT, {}};
}

IntegrityCheck::Outcome IntegrityCheck::now(const QByteArray& uri)
{
    sqlite3* db = nullptr;
    const int opened = openForCheck(uri, &db);
    const Outcome outcome = check(db, opened, nullptr);
    sqlite3_close_v2(db);
    return outcome;
}

} // namespace platform
