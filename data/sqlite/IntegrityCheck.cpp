#include "data/sqlite/IntegrityCheck.h"

#include <sqlite3.h>

namespace platform {

IntegrityCheck::IntegrityCheck(const QByteArray& uri, std::function<void(int, const QString&)> done)
    : m_thread([this, uri, done = std::move(done)] { run(uri, done); })
{
}

IntegrityCheck::~IntegrityCheck()
{
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
        if (m_db)
            sqlite3_interrupt(m_db);
    }
    m_thread.join();
}

void IntegrityCheck::run(const QByteArray& uri, const std::function<void(int, const QString&)>& done)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr);
    {
        std::lock_guard lock(m_mutex);
        m_db = db;
        if (m_ending)
            sqlite3_interrupt(db);
    }
    QString problem;
    sqlite3_stmt* stmt = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        if ((rc = sqlite3_step(stmt)) != SQLITE_ROW)
            break;
        const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        if (problem.isEmpty() && line != QLatin1String("ok"))
            problem = line;
    }
    if (rc == SQLITE_DONE)
        rc = SQLITE_OK;
    else if (problem.isEmpty() && db)
        problem = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    bool ending;
    {
        std::lock_guard lock(m_mutex);
        m_db = nullptr;
        ending = m_ending;
    }
    sqlite3_close_v2(db);
    if (!ending && rc != SQLITE_INTERRUPT)
        done(rc, problem);
}

} // namespace platform
