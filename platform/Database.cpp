#include "platform/Database.h"

#include "platform/JetSql.h"
#include "platform/StoredFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <sqlite3.h>

namespace platform {

namespace {

constexpr int kBusyTimeoutMs = 5000;

QString lastError(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Jet's First and Last aggregates: the value of the first or last row in the order
// the rows are visited, which for a plain table scan is the stored order.
struct Kept {
    sqlite3_value* value;
    bool any;
};

void keepValue(sqlite3_context* ctx, sqlite3_value* v, bool replace)
{
    auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
    if (!kept)
        return;
    if (kept->any && !replace)
        return;
    sqlite3_value_free(kept->value);
    kept->value = sqlite3_value_dup(v);
    kept->any = true;
}

void firstStep(sqlite3_context* ctx, int, sqlite3_value** argv) { keepValue(ctx, argv[0], false); }
void lastStep(sqlite3_context* ctx, int, sqlite3_value** argv) { keepValue(ctx, argv[0], true); }

void keptFinal(sqlite3_context* ctx)
{
    auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
    if (!kept || !kept->any) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_value(ctx, kept->value);
    sqlite3_value_free(kept->value);
    kept->value = nullptr;
}

// CDate for arguments that are not literals (literals are folded by the translator).
void cdateFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    const auto date = jet::parseCDate(text);
    if (!date) {
        sqlite3_result_error(ctx, "Data type mismatch in criteria expression.", -1);
        return;
    }
    const QByteArray stored = (date->typeId() == QMetaType::QDateTime
                                   ? stored::dateTimeText(date->toDateTime())
                                   : stored::dateText(date->toDate())).toUtf8();
    sqlite3_result_text(ctx, stored.constData(), int(stored.size()), SQLITE_TRANSIENT);
}

void registerJetFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "First", 1, SQLITE_UTF8, nullptr, nullptr, firstStep, keptFinal, nullptr);
    sqlite3_create_function_v2(db, "Last", 1, SQLITE_UTF8, nullptr, nullptr, lastStep, keptFinal, nullptr);
    sqlite3_create_function_v2(db, "CDate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, cdateFunction,
                               nullptr, nullptr, nullptr);
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

sqlite3_stmt* prepare(sqlite3* db, const QString& jetSql)
{
    if (!db)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    const QByteArray sql = jet::translate(jetSql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, &tail) != SQLITE_OK)
        throw DbError(lastError(db));
    // One statement per call, as Jet runs them: anything after it is refused rather
    // than run, so text spliced into a statement can never start a second one.
    for (; tail && *tail; ++tail) {
        if (*tail == ';' || std::isspace(static_cast<unsigned char>(*tail)))
            continue;
        sqlite3_finalize(stmt);
        throw DbError(QStringLiteral("Characters found after end of SQL statement."));
    }
    if (!stmt)
        throw DbError(QStringLiteral("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
                                     "'SELECT', or 'UPDATE'."));
    return stmt;
}

} // namespace

// ---- Connection ----

Connection::Connection() = default;

Connection::~Connection()
{
    Close();
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

    // The connection is used from the user-interface thread only: no per-call mutex,
    // which would otherwise cost more than the reading itself on a large reload.
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto fail = [&](const QString& message) {
        sqlite3_close_v2(db);
        throw DbError(message);
    };
    if (rc != SQLITE_OK)
        fail(QStringLiteral("%1: '%2'").arg(db ? lastError(db) : QStringLiteral("out of memory"), path));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // A bracketed name arrives as a quoted identifier; one that names no column must
    // be an error, not quietly read as a text value.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // Reading the schema proves the file is a database before anything could write to it.
    // Then: a full sync on every commit, so a statement that returned survives a crash.
    for (const char* sql : {"SELECT count(*) FROM sqlite_master", "PRAGMA synchronous=FULL"}) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(QStringLiteral("%1: '%2'").arg(lastError(db), path));
    }
    registerJetFunctions(db);
    m_db = db;
}

long long Connection::Execute(const QString& jetSql)
{
    pauseOpenRecordsets();
    sqlite3_stmt* stmt = prepare(m_db, jetSql);
    if (!sqlite3_stmt_readonly(stmt)) {
        try {
            snapshotOpenRecordsets();
        } catch (...) {
            sqlite3_finalize(stmt);
            throw;
        }
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    const long long changed = sqlite3_stmt_readonly(stmt) ? 0 : sqlite3_changes64(m_db);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        throw DbError(lastError(m_db));
    return changed;
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
    Execute(QStringLiteral("ROLLBACK"));
}

void Connection::Close()
{
    if (!m_db)
        return;
    for (Recordset* rs : std::vector<Recordset*>(m_open))
        rs->release();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void Connection::attach(Recordset* rs)
{
    m_open.push_back(rs);
}

void Connection::detach(Recordset* rs)
{
    m_open.erase(std::remove(m_open.begin(), m_open.end(), rs), m_open.end());
}

void Connection::pauseOpenRecordsets()
{
    // SQLite's connection serves one thread at a time: stop any read-ahead first.
    for (Recordset* rs : m_open)
        rs->pause();
}

void Connection::snapshotOpenRecordsets()
{
    // An unfinished read keeps SQLite's implicit transaction open, which would hold
    // back the commit of this change until the read ends. Copy the rest of each open
    // recordset so the change commits now.
    for (Recordset* rs : m_open)
        rs->snapshot();
}

// ---- Recordset ----

namespace {
// Rows stepped on the caller's thread before reading ahead starts: small queries (an
// editor loading one transaction, the account list) never start a thread.
constexpr size_t kRowsBeforeReadAhead = 2048;

} // namespace

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
    connection.pauseOpenRecordsets();
    sqlite3_stmt* stmt = prepare(connection.handle(), jetSql);
    m_stmt = stmt;
    m_connection = &connection;
    m_names.clear();
    m_kinds.clear();
    m_batch = RawBatch();
    m_pending.clear();
    m_onBatch = false;
    m_rowsStepped = 0;
    m_failure.clear();
    const int count = sqlite3_column_count(stmt);
    for (int c = 0; c < count; ++c) {
        m_names.push_back(QString::fromUtf8(sqlite3_column_name(stmt, c)));
        switch (stored::kindOf(sqlite3_column_table_name(stmt, c), sqlite3_column_origin_name(stmt, c))) {
        case stored::ColumnKind::Date: m_kinds.push_back(Kind::Date); break;
        case stored::ColumnKind::YesNo: m_kinds.push_back(Kind::YesNo); break;
        case stored::ColumnKind::Plain: m_kinds.push_back(Kind::Plain); break;
        }
    }
    connection.attach(this);
    m_open = true;
    try {
        step();
    } catch (...) {
        release();
        throw;
    }
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
    if (rc != SQLITE_DONE)
        throw DbError(lastError(m_connection->handle()));
    finishStatement();
}

void Recordset::finishStatement()
{
    // Finished reading: let go of SQLite's read lock now rather than at Close.
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
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

bool Recordset::takeBatch()
{
    RawBatch batch;
    if (!m_pending.empty()) {
        batch = std::move(m_pending.front());
        m_pending.pop_front();
    } else if (!m_prefetch || !m_prefetch->next(batch)) {
        return false;
    }
    m_batch = std::move(batch);
    m_batchRow = 0;
    m_onBatch = m_batch.rows > 0;
    return m_onBatch;
}

void Recordset::pause()
{
    if (!m_prefetch)
        return;
    m_prefetch->stop();
    for (RawBatch& batch : m_prefetch->takeQueued())
        m_pending.push_back(std::move(batch));
    if (m_prefetch->finished()) {
        if (m_prefetch->failed())
            m_failure = QString::fromUtf8(m_prefetch->message());
        finishStatement();
    }
    m_prefetch.reset();
}

void Recordset::snapshot()
{
    if (!m_open)
        return;
    pause();
    if (!m_stmt)
        return;
    holdCurrentRow();
    RawBatch rest;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW)
        appendRow(m_stmt, columns(), rest);
    if (rc != SQLITE_DONE)
        m_failure = lastError(m_connection->handle());
    if (rest.rows > 0)
        m_pending.push_back(std::move(rest));
    finishStatement();
}

bool Recordset::eof() const
{
    if (!m_open)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
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
    if (m_prefetch)
        pause();   // the worker reached the end: the statement is done, or failed
    if (!m_stmt) {
        m_eof = true;
        if (!m_failure.isEmpty())
            throw DbError(std::exchange(m_failure, QString()));
        return;
    }
    step();
    // Read ahead only while this is the connection's one open recordset: a worker
    // must never step while the caller's thread uses another statement of the same
    // connection (opening another recordset pauses this one first).
    if (!m_eof && m_rowsStepped >= kRowsBeforeReadAhead && columns() > 0 && m_connection->m_open.size() == 1) {
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

void Recordset::Close()
{
    if (!m_open)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    release();
}

void Recordset::release()
{
    m_prefetch.reset();   // joins the worker before the statement goes
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

} // namespace platform
