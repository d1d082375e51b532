#include "data/sqlite/Database.h"

#include "data/sqlite/FileAccess.h"
#include "platform/Conversions.h"
#include "data/sqlite/IntegrityCheck.h"
#include "data/sqlite/JetFunctions.h"
#include "data/sqlite/JetSql.h"
#include "data/StoredFormat.h"
#include "platform/UseLock.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {

namespace {

// Reader connections kept for the next recordsets: the windows open many small queries.
constexpr size_t kIdleReaders = 4;
// Rows stepped on the caller's thread before reading ahead starts: small queries (an
// editor loading one transaction, the account list) never start a thread.
constexpr size_t kRowsBeforeReadAhead = 2048;
// Insert shapes kept prepared: the report's copy, the editor's, the duplicate's, the
// account's, with room to spare.
constexpr size_t kPreparedInserts = 8;

QString lastError(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

DbError closedError()
{
    return DbError(QStringLiteral("Operation is not allowed when the object is closed."));
}

// Translates and prepares one statement, giving SQLite's result code. Text that is not
// exactly one statement is refused here, before SQLite could run any of it.
int prepare(sqlite3* db, const QString& jetSql, sqlite3_stmt** stmt)
{
    const QByteArray sql = jet::translate(jetSql).toUtf8();
    const char* tail = nullptr;
    *stmt = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), stmt, &tail);
    if (rc != SQLITE_OK)
        return rc;
    // One statement per call, as Jet runs them: anything after it is refused rather
    // than run, so text spliced into a statement can never start a second one.
    for (; tail && *tail; ++tail) {
        if (*tail == ';' || std::isspace(static_cast<unsigned char>(*tail)))
            continue;
        sqlite3_finalize(std::exchange(*stmt, nullptr));
        throw DbError(QStringLiteral("Characters found after end of SQL statement."));
    }
    if (!*stmt)
        throw DbError(QStringLiteral("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
                                     "'SELECT', or 'UPDATE'."));
    return SQLITE_OK;
}

// Runs a journal_mode pragma and reads the mode SQLite answers; false when it failed.
bool journalMode(sqlite3* db, const char* pragma, QByteArray& mode)
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        mode = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_OK;
}

QString describeByDefault(FileProblem problem, const QString& file, const QString& detail)
{
    // A write to a file opened read-only gets SQLite's own words, as on any such file.
    if (problem == FileProblem::ReadOnly)
        return QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY));
    return QStringLiteral("%1: '%2'").arg(detail, file);
}

// Whether an opening failed for want of writing beside the file: a folder that cannot
// be written, a read-only file system, or a disk with no room for the shared memory.
bool cannotWriteBeside(int result)
{
    const int primary = result & 0xff;
    return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR
        || primary == SQLITE_FULL;
}

// Why nothing can be written beside the file, in the system's own words ("Read-only
// file system"), or else SQLite's.
QString writingRefusal(const QString& path, sqlite3* db)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct statvfs disk = {};
    const bool known = ::statvfs(folder.constData(), &disk) == 0;
    int error = 0;
    if (known && (disk.f_flag & ST_RDONLY))
        error = EROFS;
    else if (known && disk.f_bavail == 0)
        error = ENOSPC;
    else if (::access(folder.constData(), W_OK) != 0)
        error = errno;
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : lastError(db);
}

bool isConnectionKey(const QString& key)
{
    static const char* const keys[] = {"provider", "data source", "jet oledb:database password", "user id",
                                       "password", "mode", "persist security info"};
    for (const char* known : keys) {
        if (key.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return key.startsWith(QLatin1String("jet oledb:"), Qt::CaseInsensitive);
}
} // namespace

QString dataSourceOf(const QString& connectionString, QString* provider)
{
    // The folder comes from the user's environment and may itself hold a ";": a piece
    // that does not start with a known key belongs to the value before it.
    std::vector<std::pair<QString, QString>> pairs;
    for (const QString& part : connectionString.split(u';')) {
        const qsizetype eq = part.indexOf(u'=');
        const QString key = eq < 0 ? QString() : part.left(eq).trimmed();
        if (eq >= 0 && isConnectionKey(key))
            pairs.emplace_back(key, part.mid(eq + 1));
        else if (!pairs.empty())
            pairs.back().second += u';' + part;
    }
    QString source;
    for (const auto& [key, value] : pairs) {
        if (key.compare(u"data source", Qt::CaseInsensitive) == 0)
            source = value.trimmed();
        else if (provider && key.compare(u"provider", Qt::CaseInsensitive) == 0)
            *provider = value.trimmed();
    }
    return source;
}


// ---- Connection ----

Connection::Connection()
    : m_insert(std::make_unique<jet::ValuesInsert>())
{
}

Connection::~Connection()
{
    try {
        Close();
    } catch (const DbError&) {
        // Nothing can be told from here; an orderly end closes first and hears of it.
    }
}

sqlite3* Connection::openHandle(const QByteArray& uri, int flags)
{
    // Each connection serves one thread at a time (the user-interface thread, or the
    // pool thread of a read-ahead, which owns its reader outright): no per-call mutex,
    // which would cost more than the reading itself on a large reload.
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(uri.constData(), &db, flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db ? lastError(db) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        throw DbError(QStringLiteral("%1: '%2'").arg(message, m_path));
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // A bracketed name arrives as a quoted identifier; one that names no column must
    // be an error, not quietly read as a text value.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    jet::registerFunctions(db);
    if (m_problem != FileProblem::None) {
        // Not even closing may fold the log into a damaged file.
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_exec(db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    }
    return db;
}

void Connection::Open(const QString& connectionString)
{
    if (m_db)
        throw DbError(QStringLiteral("Operation is not allowed when the object is open."));
    const QString path = fileOf(connectionString);
    m_path = path;
    m_problem = FileProblem::None;
    m_problemMessage.clear();
    m_wal = false;
    m_readerUri = fileUri(path, "?mode=ro");
    // In use from here on, for a restore in another copy to see; one under way there
    // is waited for, as for any other lock.
    m_use = std::make_unique<UseLock>(path);
    if (!m_use->share(kBusyTimeoutMs)) {
        m_use.reset();
        throw DbError(QStringLiteral("database is locked: '%1'").arg(path));
    }

    // What the file is, before anything could write to it.
    data::stored::FileFacts facts;
    bool alone = false;
    QString readOnly;
    int rc = SQLITE_OK;
    try {
        rc = openWriter(facts, alone, readOnly);
    } catch (const DbError&) {
        m_use.reset();
        throw;
    }
    QString message = rc == SQLITE_OK ? QString() : lastError(m_db);
    if (rc == SQLITE_OK)
        rc = bringUpToDate(facts, message);
    if (isDamage(rc)) {
        sqlite3_close_v2(std::exchange(m_db, nullptr));
        damaged(message, true);
        openReadOnly();
        return;
    }
    if (rc != SQLITE_OK)
        failOpening(message);
    // A file read as it stands keeps the journal it has.
    if (readOnly.isEmpty())
        keepJournal(alone);
    // A full sync on every commit, so a statement that returned survives a crash.
    if (sqlite3_exec(m_db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr) != SQLITE_OK)
        failOpening(lastError(m_db));
    startWriting(readOnly);
}

QString Connection::fileOf(const QString& connectionString)
{
    QString provider;
    const QString path = dataSourceOf(connectionString, &provider);
    if (provider.compare(u"microsoft.jet.oledb.4.0", Qt::CaseInsensitive) != 0)
        throw DbError(QStringLiteral("Provider cannot be found. It may not be properly installed."));
    if (!QFileInfo(path).isFile())
        throw DbError(QStringLiteral("Could not find file '%1'.").arg(path));
    return path;
}

int Connection::openWriter(data::stored::FileFacts& facts, bool& alone, QString& readOnly)
{
    m_db = openHandle(fileUri(m_path), SQLITE_OPEN_READWRITE);
    struct stat opened = {};
    if (::stat(QFile::encodeName(m_path).constData(), &opened) == 0) {
        m_device = quint64(opened.st_dev);
        m_inode = quint64(opened.st_ino);
    }
    int rc = data::stored::inspect(m_db, facts);
    if ((rc & 0xff) == SQLITE_CANTOPEN && !hasLog(m_path)) {
        // A file last kept with a write-ahead log, now where the file system has no
        // shared memory: opened alone, the log needs none, long enough to turn the file
        // to a rollback journal.
        sqlite3_close_v2(m_db);
        m_db = openHandle(fileUri(m_path), SQLITE_OPEN_READWRITE);
        rc = sqlite3_exec(m_db, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            rc = data::stored::inspect(m_db, facts);
        alone = rc == SQLITE_OK;
    }
    if (cannotWriteBeside(rc) && !hasLog(m_path)) {
        // A file in a folder that cannot be written, or on a disk without room for the
        // shared memory a write-ahead log needs even for reading: read it as it stands.
        readOnly = writingRefusal(m_path, m_db);
        sqlite3_close_v2(m_db);
        m_readerUri = fileUri(m_path, "?mode=ro&immutable=1");
        m_db = openHandle(m_readerUri, SQLITE_OPEN_READONLY);
        rc = data::stored::inspect(m_db, facts);
    }
    return rc;
}

int Connection::bringUpToDate(const data::stored::FileFacts& facts, QString& message)
{
    if (!facts.isLedger)
        refuse(FileProblem::NotALedger, {});
    if (facts.version > data::stored::kLedgerVersion)
        refuse(FileProblem::NewerVersion, QString::number(facts.version));
    if (facts.version == data::stored::kLedgerVersion)
        return SQLITE_OK;
    if (m_owner.beforeMigration) {
        try {
            m_owner.beforeMigration(m_path, facts.version);
        } catch (...) {
            Close();
            throw;
        }
    }
    const int rc = data::stored::migrate(m_db, message);
    if (rc != SQLITE_OK && !isDamage(rc))
        refuse(FileProblem::CannotUpgrade, message);
    return rc;
}

void Connection::keepJournal(bool alone)
{
    // The write-ahead log where the file system can keep one; else the rollback journal.
    // Where it cannot, SQLite answers with the journal it keeps; an error is a failure.
    QByteArray mode;
    if (!alone && !journalMode(m_db, "PRAGMA journal_mode = WAL", mode))
        failOpening(lastError(m_db));
    m_wal = qstricmp(mode.constData(), "wal") == 0;
    if (!m_wal && !journalMode(m_db, "PRAGMA journal_mode = DELETE", mode))
        failOpening(lastError(m_db));
    if (alone) {
        // Others may read again from the next statement on, which lets go of the lock.
        if (sqlite3_exec(m_db, "PRAGMA locking_mode = NORMAL", nullptr, nullptr, nullptr) != SQLITE_OK
            || sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK)
            failOpening(lastError(m_db));
    }
}

void Connection::setObserver(WriteObserver* observer)
{
    if (m_observer && m_db)
        m_observer->closing();
    m_observer = observer;
    if (m_observer && m_db && m_problem == FileProblem::None)
        m_observer->opened(m_db);
}

void Connection::failOpening(const QString& message)
{
    const QString path = m_path;
    Close();
    throw DbError(QStringLiteral("%1: '%2'").arg(message, path));
}

// Runs once the file is open and current: the observer hears of it, commits are checked
// against a file put in the ledger's place, and a file that cannot be written says so.
namespace {
// The file's data version as `db` sees it now; nullopt when it cannot be read without
// waiting (another connection holds the file) or at all.
std::optional<qint64> dataVersion(sqlite3* db, int busyTimeoutMs)
{
    sqlite3_stmt* stmt = nullptr;
    std::optional<qint64> version;
    sqlite3_busy_timeout(db, 0);
    if (sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return version;
}
} // namespace

bool Connection::othersCommitted()
{
    if (!m_db || InTransaction())
        return false;
    const std::optional<qint64> version = dataVersion(m_db, kBusyTimeoutMs);
    if (!version)
        return false;
    const bool changed = m_seenVersion && *m_seenVersion != *version;
    m_seenVersion = version;
    return changed;
}

void Connection::startWriting(QString readOnly)
{
    m_seenVersion = dataVersion(m_db, kBusyTimeoutMs);
    if (m_observer)
        m_observer->opened(m_db);
    sqlite3_commit_hook(m_db, &Connection::beforeCommit, this);
    if (readOnly.isEmpty() && sqlite3_db_readonly(m_db, "main") == 1)
        readOnly = QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY));
    if (!readOnly.isEmpty()) {
        // Every row can be read; the user hears once why no change will be taken.
        setProblem(FileProblem::ReadOnly, readOnly);
        if (m_owner.tell)
            m_owner.tell(m_problemMessage);
    }
}

int Connection::beforeCommit(void* connection)
{
    auto* self = static_cast<Connection*>(connection);
    if (self->sameFile())
        return 0;
    self->m_replaced = true;
    return 1;   // SQLite rolls the transaction back instead
}

bool Connection::sameFile() const
{
    if (m_inode == 0)
        return true;   // not known: nothing to compare with
    struct stat now = {};
    return ::stat(QFile::encodeName(m_path).constData(), &now) == 0 && quint64(now.st_dev) == m_device
        && quint64(now.st_ino) == m_inode;
}

void Connection::openReadOnly()
{
    // An immutable file is never locked or changed, not even by a log beside it; but a
    // log left by a crash holds the last commits, and only a plain read-only connection
    // reads it.
    m_readerUri = fileUri(m_path, hasLog(m_path) ? "?mode=ro" : "?mode=ro&immutable=1");
    m_db = openHandle(m_readerUri, SQLITE_OPEN_READONLY);
}

void Connection::setProblem(FileProblem problem, const QString& detail)
{
    m_problem = problem;
    m_problemMessage = (m_owner.describe ? m_owner.describe : describeByDefault)(problem, m_path, detail);
    if (m_owner.changed)
        m_owner.changed();
}

void Connection::refuse(FileProblem problem, const QString& detail)
{
    const QString path = m_path;
    Close();
    m_path = path;
    setProblem(problem, detail);
    throw FileRefusal(m_problemMessage, false);
}

void Connection::stopWriting()
{
    if (m_db) {
        // Nothing pending may commit, and nothing more be written; not even closing may
        // fold the log in (nor, for a replaced file, remove the log of the file at its
        // path now).
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    for (sqlite3* reader : m_idleReaders) {
        sqlite3_db_config(reader, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_close_v2(reader);
    }
    m_idleReaders.clear();
}

void Connection::damaged(const QString& detail, bool tell)
{
    // Damage outweighs a read-only file; anything else has stopped the writing already.
    if (m_problem != FileProblem::None && m_problem != FileProblem::ReadOnly)
        return;
    stopWriting();
    setProblem(FileProblem::Damaged, detail);
    if (tell && m_owner.tell)
        m_owner.tell(m_problemMessage);
}

void Connection::fail(int result, const QString& message, bool writing)
{
    if (std::exchange(m_replaced, false) && m_problem == FileProblem::None) {
        stopWriting();
        setProblem(FileProblem::Replaced, {});
        throw FileRefusal(m_problemMessage, false);
    }
    if (isDamage(result)) {
        damaged(message, !writing);
        throw FileRefusal(m_problemMessage, !writing);
    }
    throw DbError(message);
}

long long Connection::Execute(const QString& jetSql)
{
    if (m_problem != FileProblem::None)
        throw FileRefusal(m_problemMessage, false);
    if (!m_db)
        throw closedError();
    if (sqlite3_stmt* stmt = boundInsert(jetSql))
        return run(stmt, true);
    sqlite3_stmt* stmt = nullptr;
    if (const int rc = prepare(m_db, jetSql, &stmt); rc != SQLITE_OK)
        fail(rc, lastError(m_db), true);
    return run(stmt, false);
}

sqlite3_stmt* Connection::boundInsert(const QString& jetSql)
{
    jet::ValuesInsert& insert = *m_insert;
    if (!insert.read(jetSql))
        return nullptr;
    const auto same = [](const QByteArray& kept, QByteArrayView read) {
        return kept.size() == read.size() && std::memcmp(kept.constData(), read.data(), size_t(read.size())) == 0;
    };
    auto found = std::find_if(m_inserts.begin(), m_inserts.end(), [&](const PreparedInsert& kept) {
        return same(kept.kinds, insert.kinds()) && same(kept.head, insert.head());
    });
    if (found == m_inserts.end()) {
        sqlite3_stmt* stmt = nullptr;
        try {
            const QByteArray sql = insert.sqliteShape().toUtf8();
            if (sqlite3_prepare_v3(m_db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                                   nullptr) != SQLITE_OK) {
                sqlite3_finalize(stmt);
                return nullptr;
            }
        } catch (const DbError&) {
            return nullptr;
        }
        if (m_inserts.size() == kPreparedInserts) {
            sqlite3_finalize(m_inserts.back().stmt);
            m_inserts.pop_back();
        }
        m_inserts.insert(m_inserts.begin(), {insert.head().toByteArray(), insert.kinds().toByteArray(), stmt});
        found = m_inserts.begin();
    } else if (found != m_inserts.begin()) {
        std::rotate(m_inserts.begin(), found, found + 1);
        found = m_inserts.begin();
    }
    sqlite3_stmt* stmt = found->stmt;
    const char* text = insert.text();
    int parameter = 0;
    for (const jet::ValuesInsert::Value& value : insert.values()) {
        ++parameter;
        // The texts stay in place until the statement has run and let go of them.
        const int rc = value.kind == jet::ValuesInsert::Kind::Integer
            ? sqlite3_bind_int64(stmt, parameter, value.integer)
            : sqlite3_bind_text(stmt, parameter, text + value.offset, int(value.length), SQLITE_STATIC);
        if (rc != SQLITE_OK) {
            // Too long a text, say: the statement as written gets SQLite's own word on it.
            sqlite3_clear_bindings(stmt);
            return nullptr;
        }
    }
    return stmt;
}

long long Connection::run(sqlite3_stmt* stmt, bool kept)
{
    // Lets go of the statement: a kept one stays ready for the next time, unless it failed.
    const auto release = [&](bool failed) {
        if (kept && !failed) {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
            return;
        }
        if (kept) {
            // A failed statement is prepared afresh next time: nothing of the failure stays.
            m_inserts.erase(std::find_if(m_inserts.begin(), m_inserts.end(),
                                         [stmt](const PreparedInsert& p) { return p.stmt == stmt; }));
        }
        sqlite3_finalize(stmt);
    };
    const bool writing = !sqlite3_stmt_readonly(stmt);
    // The observer taking part in a write hears how it ended: abandoned() when it
    // failed, once the failure has been handled (a damaged file is read-only by then).
    struct Observed {
        WriteObserver* observer = nullptr;
        ~Observed()
        {
            if (observer)
                observer->abandoned();
        }
    } observed;
    if (writing && m_observer) {
        try {
            if (m_observer->beforeWrite(sqlite3_sql(stmt)))
                observed.observer = m_observer;
        } catch (...) {
            release(false);
            throw;
        }
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    const long long changed = writing ? sqlite3_changes64(m_db) : 0;
    const QString message = rc == SQLITE_DONE ? QString() : lastError(m_db);
    release(rc != SQLITE_DONE);
    if (rc != SQLITE_DONE)
        fail(rc, message, writing);
    if (WriteObserver* observer = std::exchange(observed.observer, nullptr))
        observer->written();
    return changed;
}

void Connection::forgetInserts()
{
    for (const PreparedInsert& kept : m_inserts)
        sqlite3_finalize(kept.stmt);
    m_inserts.clear();
}

void Connection::BeginTrans()
{
    Execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void Connection::CommitTrans()
{
    Execute(QStringLiteral("COMMIT"));
}

void Connection::RollbackTrans()
{
    // A rollback refused (a statement still writing) leaves the transaction open: the
    // caller must hear of it, or its next statement would join a change it gave up.
    if (m_db && !sqlite3_get_autocommit(m_db) && sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK
        && !sqlite3_get_autocommit(m_db))
        throw DbError(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

bool Connection::InTransaction() const
{
    return m_db && !sqlite3_get_autocommit(m_db);
}

void Connection::Close()
{
    m_check.reset();    // ends the background check and waits for it; its result is dropped
    if (m_observer && m_db)
        m_observer->closing();
    for (Recordset* rs : std::vector<Recordset*>(m_open))
        rs->release();
    for (sqlite3* reader : m_idleReaders)
        sqlite3_close_v2(reader);
    m_idleReaders.clear();
    forgetInserts();
    QString folding;
    if (m_db) {
        // Fold in what the log holds without waiting: another copy's open read or its
        // next change must never wait on this one closing. Whatever a reader still
        // needs stays in the log, for the last connection to fold in as it closes.
        if (m_wal && m_problem == FileProblem::None) {
            const int rc = sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
            if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED)
                folding = lastError(m_db);
        }
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_use.reset();
    m_problem = FileProblem::None;
    m_problemMessage.clear();
    m_wal = false;
    m_replaced = false;
    m_seenVersion.reset();
    m_device = m_inode = 0;
    if (!folding.isEmpty())
        throw DbError(QStringLiteral("%1: '%2'").arg(folding, m_path));
}

void Connection::attach(Recordset* rs)
{
    m_open.push_back(rs);
}

void Connection::detach(Recordset* rs)
{
    m_open.erase(std::remove(m_open.begin(), m_open.end(), rs), m_open.end());
}

sqlite3* Connection::takeReader()
{
    if (!m_idleReaders.empty()) {
        sqlite3* reader = m_idleReaders.back();
        m_idleReaders.pop_back();
        return reader;
    }
    return openHandle(m_readerUri, SQLITE_OPEN_READONLY);
}

void Connection::giveBack(sqlite3* reader)
{
    if (m_problem != FileProblem::None)
        sqlite3_db_config(reader, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (m_db && m_idleReaders.size() < kIdleReaders)
        m_idleReaders.push_back(reader);
    else
        sqlite3_close_v2(reader);
}

void Connection::checkInBackground()
{
    if (!m_db || (m_problem != FileProblem::None && m_problem != FileProblem::ReadOnly) || checking())
        return;
    m_check.reset();   // the last one, finished
    m_check = std::make_unique<IntegrityCheck>(m_readerUri, [this](const IntegrityCheck::Outcome& outcome) {
        checked(outcome.result, outcome.problem);
    });
}

void Connection::checkNow()
{
    if (!m_db || (m_problem != FileProblem::None && m_problem != FileProblem::ReadOnly))
        return;
    // One started earlier (at the opening) is waited for rather than made twice.
    const IntegrityCheck::Outcome outcome = checking() ? m_check->wait() : IntegrityCheck::now(m_readerUri);
    checked(outcome.result, outcome.problem);
}

bool Connection::checking() const
{
    return m_check && m_check->running();
}

void Connection::checked(int result, const QString& problem)
{
    // The check stays until the next one or Close: this runs from its own signal.
    if ((result == SQLITE_OK && !problem.isEmpty()) || isDamage(result))
        damaged(problem, true);
}

// ---- Recordset ----

QVariant Recordset::toValue(Kind kind, int type, qint64 integer, double real, const char* data, int length)
{
    switch (type) {
    case SQLITE_NULL:
        return kind == Kind::YesNo ? QVariant(false) : QVariant();
    case SQLITE_INTEGER:
        return kind == Kind::YesNo ? QVariant(integer != 0) : QVariant(qlonglong(integer));
    case SQLITE_FLOAT:
        return kind == Kind::YesNo ? QVariant(real != 0) : QVariant(real);
    case SQLITE_BLOB:
        return QByteArray(data, length);
    default:
        if (kind == Kind::Date) {
            if (auto parsed = data::stored::parseDateText(data, length))
                return *parsed;
        }
        return QString::fromUtf8(data, length);
    }
}

Recordset::Recordset() = default;

Recordset::~Recordset()
{
    release();
}

void Recordset::Open(const QString& jetSql, Connection& connection, int, int)
{
    if (m_open)
        throw DbError(QStringLiteral("Operation is not allowed when the object is open."));
    if (!connection.m_db && connection.m_problem != FileProblem::None)
        throw FileRefusal(connection.m_problemMessage, true);   // the user was told at the opening
    if (!connection.m_db)
        throw closedError();
    m_names.clear();
    m_kinds.clear();
    m_batch = RawBatch();
    m_pending.clear();
    m_onBatch = false;
    m_rowsStepped = 0;
    m_failure = 0;
    m_connection = &connection;
    connection.attach(this);
    m_open = true;
    try {
        m_reader = connection.takeReader();
        if (const int rc = prepare(m_reader, jetSql, &m_stmt); rc != SQLITE_OK)
            fail(rc, lastError(m_reader));
        const int count = sqlite3_column_count(m_stmt);
        for (int c = 0; c < count; ++c) {
            m_names.push_back(QString::fromUtf8(sqlite3_column_name(m_stmt, c)));
            switch (data::stored::kindOf(sqlite3_column_table_name(m_stmt, c), sqlite3_column_origin_name(m_stmt, c))) {
            case data::stored::ColumnKind::Date: m_kinds.push_back(Kind::Date); break;
            case data::stored::ColumnKind::YesNo: m_kinds.push_back(Kind::YesNo); break;
            case data::stored::ColumnKind::Plain: m_kinds.push_back(Kind::Plain); break;
            }
        }
        // The first step takes the snapshot the recordset shows.
        step();
        // Under a rollback journal an unfinished read would hold back the next commit.
        if (!connection.m_wal && connection.m_problem == FileProblem::None)
            copyRest();
    } catch (...) {
        release();
        throw;
    }
}

void Recordset::fail(int result, const QString& message)
{
    m_connection->fail(result, message, false);
}

void Recordset::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_eof = false;
        ++m_rowsStepped;
        return;
    }
    m_eof = true;
    const QString message = rc == SQLITE_DONE ? QString() : lastError(m_reader);
    finishStatement();
    if (rc != SQLITE_DONE)
        fail(rc, message);
}

void Recordset::finishStatement()
{
    // Finished reading: let go of the snapshot and the reader now rather than at Close.
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
    if (m_reader && m_connection)
        m_connection->giveBack(std::exchange(m_reader, nullptr));
}

void Recordset::holdCurrentRow()
{
    // The current row lives in the statement; copy it out before anything steps on.
    if (m_onBatch || m_eof || !m_stmt)
        return;
    m_batch = RawBatch();
    appendRow(m_stmt, columns(), m_batch);
    m_batchRow = 0;
    m_onBatch = true;
}

void Recordset::copyRest()
{
    if (!m_stmt)
        return;
    holdCurrentRow();
    RawBatch rest;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW)
        appendRow(m_stmt, columns(), rest);
    if (rc != SQLITE_DONE) {
        m_failure = rc;
        m_failureMessage = lastError(m_reader);
    }
    if (rest.rows > 0)
        m_pending.push_back(std::move(rest));
    finishStatement();
}

bool Recordset::takeBatch()
{
    RawBatch batch;
    if (!m_pending.empty()) {
        batch = std::move(m_pending.front());
        m_pending.pop_front();
    } else if (!m_prefetch) {
        return false;
    } else if (!m_prefetch->next(batch)) {
        // The reading has ended, and with it the statement.
        if (m_prefetch->result() != SQLITE_DONE) {
            m_failure = m_prefetch->result();
            m_failureMessage = QString::fromUtf8(m_prefetch->message());
        }
        m_prefetch.reset();
        finishStatement();
        return false;
    }
    m_batch = std::move(batch);
    m_batchRow = 0;
    m_onBatch = m_batch.rows > 0;
    return m_onBatch;
}

bool Recordset::eof() const
{
    if (!m_open)
        throw closedError();
    return m_eof;
}

void Recordset::requireCurrentRecord() const
{
    if (eof())
        throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                     "Requested operation requires a current record."));
}

void Recordset::MoveNext()
{
    requireCurrentRecord();
    if (m_onBatch && ++m_batchRow < m_batch.rows)
        return;
    if (takeBatch())
        return;
    m_onBatch = false;
    if (!m_stmt) {
        m_eof = true;
        if (m_failure != 0)
            fail(std::exchange(m_failure, 0), m_failureMessage);
        return;
    }
    step();
    // The reader is this recordset's alone: past the first rows, hand it to a pool thread.
    if (!m_eof && m_rowsStepped >= kRowsBeforeReadAhead && columns() > 0) {
        holdCurrentRow();
        m_prefetch = std::make_unique<RowPrefetch>(m_stmt, columns());
    }
}

int Recordset::column(QStringView name) const
{
    if (!m_open)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    // Callers mostly spell names as stored: try that cheap match before the folding one.
    for (size_t c = 0; c < m_names.size(); ++c) {
        if (name == m_names[c])
            return int(c);
    }
    for (size_t c = 0; c < m_names.size(); ++c) {
        if (QStringView(m_names[c]).compare(name, Qt::CaseInsensitive) == 0)
            return int(c);
    }
    return -1;
}

Field Recordset::Fields(QStringView name) const
{
    const int c = column(name);
    if (c < 0)
        throw DbError(QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                     "name or ordinal."));
    return Field(this, c);
}

QVariant Recordset::value(int column) const
{
    requireCurrentRecord();
    const Kind kind = m_kinds[size_t(column)];
    if (m_onBatch) {
        const RawCell& cell = m_batch.cells[m_batchRow * size_t(columns()) + size_t(column)];
        const bool bytes = cell.type == SQLITE_TEXT || cell.type == SQLITE_BLOB;
        return toValue(kind, cell.type, bytes ? 0 : cell.integer, cell.type == SQLITE_FLOAT ? cell.real : 0,
                       bytes ? m_batch.bytes.constData() + cell.offset : nullptr, int(cell.length));
    }
    return readStatementColumn(column);
}

QVariant Recordset::readStatementColumn(int c) const
{
    // One API call for the column, then the value accessors, which skip the
    // statement-level checks each sqlite3_column_* call repeats.
    sqlite3_value* value = sqlite3_column_value(m_stmt, c);
    const int type = sqlite3_value_type(value);
    const char* data = nullptr;
    int length = 0;
    if (type == SQLITE_TEXT) {
        data = reinterpret_cast<const char*>(sqlite3_value_text(value));
        length = sqlite3_value_bytes(value);
    } else if (type == SQLITE_BLOB) {
        data = static_cast<const char*>(sqlite3_value_blob(value));
        length = sqlite3_value_bytes(value);
    }
    return toValue(m_kinds[size_t(c)], type,
                   type == SQLITE_INTEGER ? sqlite3_value_int64(value) : 0,
                   type == SQLITE_FLOAT ? sqlite3_value_double(value) : 0, data, length);
}

QVariant Field::Value() const
{
    return m_rs->value(m_column);
}

Recordset::ReadAhead Recordset::readAhead() const
{
    ReadAhead ahead;
    if (m_onBatch)
        ahead.rows += qint64(m_batch.rows - m_batchRow - 1);
    for (const RawBatch& batch : m_pending)
        ahead.rows += qint64(batch.rows);
    if (m_prefetch) {
        ahead.rows += m_prefetch->rowsAhead();
        ahead.waiting = m_prefetch->waiting();
    }
    return ahead;
}

void Recordset::Close()
{
    if (!m_open)
        throw closedError();
    release();
}

void Recordset::release()
{
    m_prefetch.reset();   // waits for the reading thread before the statement goes
    finishStatement();
    if (m_connection) {
        m_connection->detach(this);
        m_connection = nullptr;
    }
    m_batch = RawBatch();
    m_pending.clear();
    m_onBatch = false;
    m_open = false;
    m_eof = true;
}

std::optional<double> literalValue(const QString& text)
{
    // One statement per thread, kept: the report writes two amounts a row.
    struct Reader {
        sqlite3* db = nullptr;
        sqlite3_stmt* cast = nullptr;
        Reader()
        {
            sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
            sqlite3_prepare_v2(db, "SELECT CAST(?1 AS REAL)", -1, &cast, nullptr);
        }
        ~Reader()
        {
            sqlite3_finalize(cast);
            sqlite3_close_v2(db);
        }
    };
    thread_local Reader reader;
    if (!isPlainNumber(text) || !reader.cast)
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(reader.cast, 1, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
    std::optional<double> value;
    if (sqlite3_step(reader.cast) == SQLITE_ROW)
        value = sqlite3_column_double(reader.cast, 0);
    sqlite3_reset(reader.cast);
    sqlite3_clear_bindings(reader.cast);
    return value;
}

} // namespace platform
