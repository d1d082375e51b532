#include "platform/Database.h"

#include "platform/Conversions.h"
#include "platform/IntegrityCheck.h"
#include "platform/JetFunctions.h"
#include "platform/JetSql.h"
#include "platform/StoredFormat.h"
#include "platform/UndoHistory.h"

#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <sqlite3.h>

namespace platform {

namespace {

constexpr int kBusyTimeoutMs = 5000;
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

bool isDamage(int result)
{
    const int primary = result & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

DbError closedError()
{
    return DbError(QStringLiteral("Operation is not allowed when the object is closed."));
}

// An SQLite file URI for path; query starts with "?" when given.
QByteArray fileUri(const QString& path, const char* query = "")
{
    return "file:" + QUrl::toPercentEncoding(path, "/") + query;
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
        else if (key.compare(u"provider", Qt::CaseInsensitive) == 0)
            *provider = value.trimmed();
    }
    return source;
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

// Whether a write-ahead log beside the file holds anything.
bool hasLog(const QString& path)
{
    const QFileInfo log(path + QStringLiteral("-wal"));
    return log.exists() && log.size() > 0;
}

QString describeByDefault(FileProblem, const QString& file, const QString& detail)
{
    return QStringLiteral("%1: '%2'").arg(detail, file);
}

} // namespace

// ---- Connection ----

Connection::Connection()
    : m_insert(std::make_unique<jet::ValuesInsert>()), m_history(std::make_unique<UndoHistory>(*this))
{
}

Connection::~Connection()
{
    Close();
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
    QString provider;
    const QString path = dataSourceOf(connectionString, &provider);
    if (provider.compare(u"microsoft.jet.oledb.4.0", Qt::CaseInsensitive) != 0)
        throw DbError(QStringLiteral("Provider cannot be found. It may not be properly installed."));
    if (!QFileInfo(path).isFile())
        throw DbError(QStringLiteral("Could not find file '%1'.").arg(path));
    m_path = path;
    m_problem = FileProblem::None;
    m_problemMessage.clear();
    m_wal = false;
    m_readerUri = fileUri(path, "?mode=ro");

    // What the file is, before anything could write to it.
    m_db = openHandle(fileUri(path), SQLITE_OPEN_READWRITE);
    stored::FileFacts facts;
    int rc = stored::inspect(m_db, facts);
    bool alone = false;
    if ((rc & 0xff) == SQLITE_CANTOPEN && !hasLog(path)) {
        // A file last kept with a write-ahead log, now where the file system has no
        // shared memory: opened alone, the log needs none, long enough to turn the file
        // to a rollback journal.
        sqlite3_close_v2(m_db);
        m_db = openHandle(fileUri(path), SQLITE_OPEN_READWRITE);
        sqlite3_exec(m_db, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr);
        rc = stored::inspect(m_db, facts);
        alone = rc == SQLITE_OK;
    }
    const int primary = rc & 0xff;
    if ((primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN) && !hasLog(path)) {
        // A file in a folder that cannot be written, which a write-ahead log needs even
        // for reading: read it as it stands (writes fail as on any read-only file).
        sqlite3_close_v2(m_db);
        m_readerUri = fileUri(path, "?mode=ro&immutable=1");
        m_db = openHandle(m_readerUri, SQLITE_OPEN_READONLY);
        rc = stored::inspect(m_db, facts);
    }
    QString message = rc == SQLITE_OK ? QString() : lastError(m_db);
    if (rc == SQLITE_OK && !facts.isLedger)
        refuse(FileProblem::NotALedger, {});
    if (rc == SQLITE_OK && facts.version > stored::kLedgerVersion)
        refuse(FileProblem::NewerVersion, QString::number(facts.version));
    if (rc == SQLITE_OK && facts.version < stored::kLedgerVersion) {
        if (m_owner.beforeMigration) {
            try {
                m_owner.beforeMigration(path, facts.version);
            } catch (...) {
                Close();
                throw;
            }
        }
        rc = stored::migrate(m_db, message);
        if (rc != SQLITE_OK && !isDamage(rc))
            refuse(FileProblem::CannotUpgrade, message);
    }
    if (isDamage(rc)) {
        sqlite3_close_v2(std::exchange(m_db, nullptr));
        damaged(message, true);
        openReadOnly();
        return;
    }
    if (rc != SQLITE_OK) {
        Close();
        throw DbError(QStringLiteral("%1: '%2'").arg(message, path));
    }

    // The write-ahead log where the file system can keep one; else the rollback journal.
    sqlite3_stmt* stmt = nullptr;
    if (!alone && sqlite3_prepare_v2(m_db, "PRAGMA journal_mode = WAL", -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        m_wal = qstricmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal") == 0;
    sqlite3_finalize(stmt);
    if (!m_wal)
        sqlite3_exec(m_db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    if (alone) {
        // Others may read again from the next statement on.
        sqlite3_exec(m_db, "PRAGMA locking_mode = NORMAL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    // A full sync on every commit, so a statement that returned survives a crash.
    if (sqlite3_exec(m_db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        message = lastError(m_db);
        Close();
        throw DbError(QStringLiteral("%1: '%2'").arg(message, path));
    }
    m_history->install(m_db);
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

void Connection::damaged(const QString& detail, bool tell)
{
    if (m_problem != FileProblem::None)
        return;
    if (m_db) {
        // Nothing pending may commit into a damaged file, and nothing more be written.
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
    setProblem(FileProblem::Damaged, detail);
    if (tell && m_owner.tell)
        m_owner.tell(m_problemMessage);
}

void Connection::fail(int result, const QString& message, bool writing)
{
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
    // While an undo step is recorded, the statement commits together with its log.
    std::optional<UndoHistory::Write> recorded;
    if (writing && m_history->recording()) {
        try {
            recorded.emplace(*m_history, sqlite3_sql(stmt));
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
    if (recorded)
        recorded->commit();
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
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Connection::InTransaction() const
{
    return m_db && !sqlite3_get_autocommit(m_db);
}

void Connection::Close()
{
    m_check.reset();    // ends the background check and waits for it; its result is dropped
    m_history->uninstall();
    for (Recordset* rs : std::vector<Recordset*>(m_open))
        rs->release();
    for (sqlite3* reader : m_idleReaders)
        sqlite3_close_v2(reader);
    m_idleReaders.clear();
    forgetInserts();
    if (m_db) {
        // Fold the log into the file, so that the file alone holds everything.
        if (m_wal && m_problem == FileProblem::None)
            sqlite3_exec(m_db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_problem = FileProblem::None;
    m_problemMessage.clear();
    m_wal = false;
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
    if (!m_db || m_problem != FileProblem::None || checking())
        return;
    m_check.reset();   // the last one, finished
    m_check = std::make_unique<IntegrityCheck>(m_readerUri, [this](const IntegrityCheck::Outcome& outcome) {
        checked(outcome.result, outcome.problem);
    });
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
            if (auto parsed = stored::parseDateText(data, length))
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
            switch (stored::kindOf(sqlite3_column_table_name(m_stmt, c), sqlite3_column_origin_name(m_stmt, c))) {
            case stored::ColumnKind::Date: m_kinds.push_back(Kind::Date); break;
            case stored::ColumnKind::YesNo: m_kinds.push_back(Kind::YesNo); break;
            case stored::ColumnKind::Plain: m_kinds.push_back(Kind::Plain); break;
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

Field Recordset::Fields(QStringView name) const
{
    if (!m_open)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    // Callers mostly spell names as stored: try that cheap match before the folding one.
    for (size_t c = 0; c < m_names.size(); ++c) {
        if (name == m_names[c])
            return Field(this, int(c));
    }
    for (size_t c = 0; c < m_names.size(); ++c) {
        if (QStringView(m_names[c]).compare(name, Qt::CaseInsensitive) == 0)
            return Field(this, int(c));
    }
    throw DbError(QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                 "name or ordinal."));
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
