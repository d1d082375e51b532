#include "data/sqlite/DatabaseCopy.h"

#include "data/sqlite/FileAccess.h"

#include "data/StoredFormat.h"

#include <QThread>
#include <sqlite3.h>

namespace platform {

namespace {

// A connection closed when it goes out of scope.
struct Handle {
    sqlite3* db = nullptr;
    ~Handle() { sqlite3_close_v2(db); }
    QString error() const { return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory"); }
};

// Opens `path` only for reading; the result code.
int openForReading(const QString& path, Handle& handle)
{
    const int rc = sqlite3_open_v2(fileUri(path, "?mode=ro").constData(), &handle.db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (handle.db)
        sqlite3_busy_timeout(handle.db, kBusyTimeoutMs);
    return rc;
}

} // namespace

void copyDatabase(const QString& from, const QString& to)
{
    Handle source, copy;
    if (openForReading(from, source) != SQLITE_OK)
        throw CopyError(QStringLiteral("%1: '%2'").arg(source.error(), from), false);
    if (sqlite3_open_v2(to.toUtf8().constData(), &copy.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        throw CopyError(QStringLiteral("%1: '%2'").arg(copy.error(), to), false);
    sqlite3_backup* backup = sqlite3_backup_init(copy.db, "main", source.db, "main");
    if (!backup)
        throw CopyError(QStringLiteral("%1: '%2'").arg(copy.error(), to), false);
    int rc;
    // A writer holding the file for a moment only delays the copy.
    for (int tries = 0; (rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED; ++tries) {
        if (tries * 50 >= kBusyTimeoutMs)
            break;
        QThread::msleep(50);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        const bool damaged = isDamage(rc) || isDamage(sqlite3_errcode(source.db));
        const QString message = damaged || sqlite3_errcode(copy.db) == SQLITE_OK ? source.error() : copy.error();
        throw CopyError(QStringLiteral("%1: '%2'").arg(message, damaged ? from : to), damaged);
    }
    // The copy took the source's header, which names a write-ahead log: one file alone.
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(copy.db, "PRAGMA journal_mode = DELETE", -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt) == SQLITE_ROW ? SQLITE_OK : sqlite3_errcode(copy.db);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_OK)
        throw CopyError(QStringLiteral("%1: '%2'").arg(copy.error(), to), false);
}

QString quickCheck(const QString& path)
{
    Handle handle;
    if (openForReading(path, handle) != SQLITE_OK)
        return handle.error();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(handle.db, "PRAGMA quick_check", -1, &stmt, nullptr);
    QString problem;
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        if (line != QLatin1String("ok")) {
            problem = line;
            break;
        }
        rc = SQLITE_OK;
    }
    if (problem.isEmpty() && rc != SQLITE_OK && rc != SQLITE_DONE)
        problem = handle.error();
    sqlite3_finalize(stmt);
    return problem;
}

LedgerCheck checkLedger(const QString& path)
{
    {
        Handle handle;
        data::stored::FileFacts facts;
        const int rc = openForReading(path, handle) == SQLITE_OK ? data::stored::inspect(handle.db, facts) : SQLITE_CANTOPEN;
        if (rc != SQLITE_OK)
            return {FileProblem::Damaged, handle.error()};
        if (!facts.isLedger)
            return {FileProblem::NotALedger, {}};
        if (facts.version > data::stored::kLedgerVersion)
            return {FileProblem::NewerVersion, QString::number(facts.version)};
    }
    if (const QString problem = quickCheck(path); !problem.isEmpty())
        return {FileProblem::Damaged, problem};
    return {};
}

std::optional<long long> countRows(const QString& path, const char* table)
{
    Handle handle;
    if (openForReading(path, handle) != SQLITE_OK)
        return std::nullopt;
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("SELECT count(*) FROM \"") + table + '"';
    std::optional<long long> count;
    if (sqlite3_prepare_v2(handle.db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return count;
}

std::optional<bool> anyRows(const QString& path, std::initializer_list<const char*> tables)
{
    Handle handle;
    if (openForReading(path, handle) != SQLITE_OK)
        return std::nullopt;
    for (const char* table : tables) {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray sql = QByteArray("SELECT EXISTS (SELECT 1 FROM \"") + table + "\")";
        std::optional<bool> found;
        if (sqlite3_prepare_v2(handle.db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW)
            found = sqlite3_column_int(stmt, 0) != 0;
        sqlite3_finalize(stmt);
        if (!found || *found)
            return found;
    }
    return false;
}

} // namespace platform
