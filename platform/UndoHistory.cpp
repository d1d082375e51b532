#include "platform/UndoHistory.h"

#include "platform/StoredFormat.h"

#include <QStringList>
#include <cstring>
#include <memory>
#include <set>
#include <sqlite3.h>

namespace platform {

using stored::RecordedTable;
using stored::kRecordedTables;

// The SQL functions the recording triggers ask: the step being recorded (NULL when
// none), its label, and the next number in its order.
struct UndoFunctions {
    static UndoHistory& history(sqlite3_context* context)
    {
        return *static_cast<UndoHistory*>(sqlite3_user_data(context));
    }
    static void step(sqlite3_context* context, int, sqlite3_value**)
    {
        if (const qint64 step = history(context).m_step)
            sqlite3_result_int64(context, step);
        else
            sqlite3_result_null(context);
    }
    static void label(sqlite3_context* context, int, sqlite3_value**)
    {
        const QByteArray text = history(context).m_label.toUtf8();
        sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    static void seq(sqlite3_context* context, int, sqlite3_value**)
    {
        sqlite3_result_int64(context, ++history(context).m_seq);
    }
};

// One statement on the writer; a failure goes through the connection, which turns a
// damaged file read-only before anything is thrown.
class UndoStatement {
public:
    UndoStatement(UndoHistory& history, const QString& sql, bool writing = true)
        : m_history(history), m_writing(writing)
    {
        const QByteArray text = sql.toUtf8();
        check(sqlite3_prepare_v2(m_history.m_db, text.constData(), int(text.size()), &m_stmt, nullptr));
    }
    ~UndoStatement() { sqlite3_finalize(m_stmt); }
    UndoStatement(const UndoStatement&) = delete;
    UndoStatement& operator=(const UndoStatement&) = delete;

    UndoStatement& bind(int index, qint64 value)
    {
        check(sqlite3_bind_int64(m_stmt, index, value));
        return *this;
    }
    UndoStatement& bind(int index, const char* text)
    {
        check(sqlite3_bind_text(m_stmt, index, text, -1, SQLITE_STATIC));
        return *this;
    }
    UndoStatement& bind(int index, sqlite3_value* value)
    {
        check(sqlite3_bind_value(m_stmt, index, value));
        return *this;
    }
    // True while there is a row; at the end the statement is ready to run again.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail(rc);
        sqlite3_reset(m_stmt);
        return false;
    }
    void run()
    {
        while (step()) {
        }
        sqlite3_clear_bindings(m_stmt);
    }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    sqlite3_value* value(int column) const { return sqlite3_column_value(m_stmt, column); }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)));
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            fail(rc);
    }
    [[noreturn]] void fail(int rc)
    {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_history.m_db));
        sqlite3_reset(m_stmt);
        m_history.fail(rc, message, m_writing);
    }

    UndoHistory& m_history;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_writing;
};

namespace {

QString quoted(const char* name)
{
    return u'"' + QString::fromLatin1(name) + u'"';
}

// "prefix.c1, prefix.c2, ..." over a table's logged columns ("" prefix: the bare names).
QString columns(const RecordedTable& table, const QString& prefix = {})
{
    QStringList out;
    for (int c = 0; c < table.columnCount; ++c)
        out << prefix + quoted(table.columns[c]);
    return out.join(QStringLiteral(", "));
}

// "B1, B2, ..." or "A1, A2, ...": the log's columns for one image of a row.
QString imageColumns(const RecordedTable& table, QChar image)
{
    QStringList out;
    for (int c = 1; c <= table.columnCount; ++c)
        out << image + QString::number(c);
    return out.join(QStringLiteral(", "));
}

// The TEMP triggers that record the changes of a step (see the header).
QString recordingSql()
{
    QString sequenceColumns, sequences;
    for (const RecordedTable& table : kRecordedTables) {
        sequenceColumns += QStringLiteral(", ") + QLatin1String(table.sequenceColumn);
        sequences += QStringLiteral(", (SELECT seq FROM sqlite_sequence WHERE name = '%1' COLLATE NOCASE)")
                         .arg(QLatin1String(table.name));
    }
    const QString beyondKept = QStringLiteral("WHERE StepID <= (SELECT StepID FROM UndoSteps ORDER BY StepID DESC "
                                              "LIMIT 1 OFFSET %1)").arg(UndoHistory::kStepsKept);
    // A step's first change, before it is made: the counters as they were.
    const QString start = QStringLiteral(
        "CREATE TEMP TRIGGER \"UndoStart%1%2\" BEFORE %2 ON main.%1 "
        "WHEN tallyfold_undo_step() IS NOT NULL "
        "AND NOT EXISTS (SELECT 1 FROM UndoSteps WHERE StepID = tallyfold_undo_step()) BEGIN "
        "DELETE FROM UndoLog WHERE StepID IN (SELECT StepID FROM UndoSteps WHERE Undone); "
        "DELETE FROM UndoSteps WHERE Undone; "
        "INSERT INTO UndoSteps (StepID, Label, Undone%3) VALUES (tallyfold_undo_step(), tallyfold_undo_label(), 0%4); "
        "DELETE FROM UndoLog %5; DELETE FROM UndoSteps %5; END;\n");
    const QString log = QStringLiteral(
        "INSERT INTO UndoLog (StepID, Seq, TableName, RowKey, Before, After, %1) "
        "VALUES (tallyfold_undo_step(), tallyfold_undo_seq(), '%2', %3, %4, %5, %6); ");
    const QString trigger = QStringLiteral(
        "CREATE TEMP TRIGGER \"UndoLog%1%2\" AFTER %3 ON main.%1 WHEN tallyfold_undo_step() IS NOT NULL%4 "
        "BEGIN %5END;\n");

    QString sql;
    for (const RecordedTable& table : kRecordedTables) {
        const QString name = QLatin1String(table.name);
        const QString oldKey = QStringLiteral("old.") + quoted(table.key);
        const QString newKey = QStringLiteral("new.") + quoted(table.key);
        const QString before = imageColumns(table, u'B'), after = imageColumns(table, u'A');
        const QString oldValues = columns(table, QStringLiteral("old.")), newValues = columns(table, QStringLiteral("new."));
        const QString inserted = log.arg(after, name, newKey, QStringLiteral("0"), QStringLiteral("1"), newValues);
        const QString deleted = log.arg(before, name, oldKey, QStringLiteral("1"), QStringLiteral("0"), oldValues);
        const QString changed = log.arg(before + QStringLiteral(", ") + after, name, oldKey, QStringLiteral("1"),
                                        QStringLiteral("1"), oldValues + QStringLiteral(", ") + newValues);
        for (const char* event : {"INSERT", "UPDATE", "DELETE"})
            sql += start.arg(name, QLatin1String(event), sequenceColumns, sequences, beyondKept);
        sql += trigger.arg(name, QStringLiteral("Insert"), QStringLiteral("INSERT"), QString(), inserted);
        sql += trigger.arg(name, QStringLiteral("Delete"), QStringLiteral("DELETE"), QString(), deleted);
        sql += trigger.arg(name, QStringLiteral("Update"), QStringLiteral("UPDATE"),
                           QStringLiteral(" AND %1 IS %2").arg(newKey, oldKey), changed);
        // A new key: the row under the old one went, one under the new key came.
        sql += trigger.arg(name, QStringLiteral("Rekey"), QStringLiteral("UPDATE"),
                           QStringLiteral(" AND %1 IS NOT %2").arg(newKey, oldKey), deleted + inserted);
    }
    return sql;
}

bool sameValue(sqlite3_value* a, sqlite3_value* b)
{
    const int type = sqlite3_value_type(a);
    if (type != sqlite3_value_type(b))
        return false;
    switch (type) {
    case SQLITE_NULL:
        return true;
    case SQLITE_INTEGER:
        return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    case SQLITE_FLOAT: {
        const double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    default: {
        const void* x = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(a)) : sqlite3_value_blob(a);
        const int n = sqlite3_value_bytes(a);
        const void* y = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(b)) : sqlite3_value_blob(b);
        return n == sqlite3_value_bytes(b) && (n == 0 || std::memcmp(x, y, size_t(n)) == 0);
    }
    }
}

// The log's columns: the entry's table and key, whether the row existed before and
// after the change, then its values before (B1...) and after (A1...).
enum LogColumn { kTable, kKey, kBefore, kAfter, kBeforeValues };
constexpr int kAfterValues = kBeforeValues + stored::kLoggedColumns;

QString logQuery(bool back)
{
    QStringList images;
    for (const QChar image : {u'B', u'A'}) {
        for (int c = 1; c <= stored::kLoggedColumns; ++c)
            images << image + QString::number(c);
    }
    return QStringLiteral("SELECT TableName, RowKey, Before, After, %1 FROM UndoLog WHERE StepID = ?1 ORDER BY Seq %2")
        .arg(images.join(QStringLiteral(", ")), back ? QStringLiteral("DESC") : QStringLiteral("ASC"));
}

} // namespace

// The statements that read and set the rows of one recorded table.
struct RecordedRows {
    RecordedRows(UndoHistory& history, const RecordedTable& t)
        : table(t)
        , select(history, QStringLiteral("SELECT %1 FROM main.%2 WHERE %3 = ?1").arg(columns(t), quoted(t.name), quoted(t.key)))
        , insert(history, QStringLiteral("INSERT INTO main.%1 (%2, %3) VALUES (?1, %4)")
                              .arg(quoted(t.name), quoted(t.key), columns(t), parameters(t)))
        , update(history, QStringLiteral("UPDATE main.%1 SET %2 WHERE %3 = ?1").arg(quoted(t.name), assignments(t), quoted(t.key)))
        , remove(history, QStringLiteral("DELETE FROM main.%1 WHERE %2 = ?1").arg(quoted(t.name), quoted(t.key)))
    {
    }

    // Whether the row `key` is now as the log's image at `values` (present: `exists`).
    bool isAsLogged(qint64 key, bool exists, const UndoStatement& log, int values)
    {
        select.bind(1, key);
        bool same = select.step() == exists;
        for (int c = 0; same && exists && c < table.columnCount; ++c)
            same = sameValue(select.value(c), log.value(values + c));
        select.reset();
        return same;
    }

    // Sets the row `key`, now as `exists` says, to the log's image at `values`
    // (absent: `becomes` false).
    void set(qint64 key, bool exists, bool becomes, const UndoStatement& log, int values)
    {
        UndoStatement& statement = !becomes ? remove : exists ? update : insert;
        statement.bind(1, key);
        for (int c = 0; becomes && c < table.columnCount; ++c)
            statement.bind(2 + c, log.value(values + c));
        statement.run();
    }

    static QString parameters(const RecordedTable& t)
    {
        QStringList out;
        for (int c = 0; c < t.columnCount; ++c)
            out << QStringLiteral("?%1").arg(c + 2);
        return out.join(QStringLiteral(", "));
    }
    static QString assignments(const RecordedTable& t)
    {
        QStringList out;
        for (int c = 0; c < t.columnCount; ++c)
            out << QStringLiteral("%1 = ?%2").arg(quoted(t.columns[c])).arg(c + 2);
        return out.join(QStringLiteral(", "));
    }

    const RecordedTable& table;
    UndoStatement select, insert, update, remove;
};

void UndoHistory::install(sqlite3* writer)
{
    uninstall();
    // Only a file that has the history's tables records: triggers writing to missing
    // tables would make every change fail.
    sqlite3_stmt* stmt = nullptr;
    int tables = 0;
    if (sqlite3_prepare_v2(writer, "SELECT count(*) FROM main.sqlite_master WHERE type = 'table' AND name IN "
                                   "('UndoSteps', 'UndoLog') COLLATE NOCASE", -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        tables = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (tables != 2)
        return;
    const struct { const char* name; void (*function)(sqlite3_context*, int, sqlite3_value**); } functions[] = {
        {"tallyfold_undo_step", &UndoFunctions::step},
        {"tallyfold_undo_label", &UndoFunctions::label},
        {"tallyfold_undo_seq", &UndoFunctions::seq},
    };
    for (const auto& f : functions) {
        if (sqlite3_create_function_v2(writer, f.name, 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, this, f.function, nullptr,
                                       nullptr, nullptr) != SQLITE_OK)
            return;
    }
    // All the triggers or none.
    const QByteArray sql = "BEGIN; " + recordingSql().toUtf8() + "COMMIT;";
    if (sqlite3_exec(writer, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
        return;
    }
    m_db = writer;
}

void UndoHistory::uninstall()
{
    m_db = nullptr;
    m_depth = 0;
    m_step = 0;
    m_label.clear();
}

void UndoHistory::begin(const QString& label)
{
    if (m_depth++ > 0 || !m_db || m_connection.problem() != FileProblem::None)
        return;
    // Above every step there is, undone ones included: those go at the first change.
    sqlite3_stmt* stmt = nullptr;
    qint64 step = 0;
    if (sqlite3_prepare_v2(m_db, "SELECT coalesce(max(StepID), 0) + 1 FROM UndoSteps", -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        step = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    m_step = step;
    m_label = label;
    m_seq = 0;
}

void UndoHistory::end()
{
    if (m_depth > 0 && --m_depth == 0) {
        m_step = 0;
        m_label.clear();
    }
}

std::optional<UndoHistory::Step> UndoHistory::nextUndo()
{
    return m_db ? next(true) : std::nullopt;
}

std::optional<UndoHistory::Step> UndoHistory::nextRedo()
{
    return m_db ? next(false) : std::nullopt;
}

std::optional<UndoHistory::Step> UndoHistory::next(bool back)
{
    UndoStatement query(*this, back ? QStringLiteral("SELECT StepID, Label FROM UndoSteps WHERE NOT Undone "
                                                     "ORDER BY StepID DESC LIMIT 1")
                                    : QStringLiteral("SELECT StepID, Label FROM UndoSteps WHERE Undone "
                                                     "ORDER BY StepID LIMIT 1"),
                        false);
    if (!query.step())
        return std::nullopt;
    Step step{query.integer(0), query.text(1)};
    query.reset();
    return step;
}

void UndoHistory::fail(int result, const QString& message, bool writing)
{
    m_connection.fail(result, message, writing);
}

sqlite3* UndoHistory::writer()
{
    if (m_connection.problem() != FileProblem::None)
        throw FileRefusal(m_connection.problemMessage(), false);
    if (!m_connection.m_db)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    return m_db;
}

std::optional<UndoHistory::Step> UndoHistory::move(bool back)
{
    if (!writer())
        return std::nullopt;   // the file keeps no history
    Q_ASSERT(m_step == 0);     // nothing is recorded while a step moves
    // Undo walks the step newest change first and sets each row to its image before the
    // change; redo walks it oldest first, to the image after. The first entry met for a
    // row holds the image the row must have now.
    const int nowFlag = back ? kAfter : kBefore, nowValues = back ? kAfterValues : kBeforeValues;
    const int targetFlag = back ? kBefore : kAfter, targetValues = back ? kBeforeValues : kAfterValues;

    UndoStatement(*this, QStringLiteral("BEGIN IMMEDIATE")).run();
    struct Rollback {
        sqlite3* db;
        bool done = false;
        ~Rollback()
        {
            if (!done && !sqlite3_get_autocommit(db))
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_exec(db, "PRAGMA ignore_check_constraints = OFF", nullptr, nullptr, nullptr);
        }
    } rollback{m_db};

    const std::optional<Step> step = next(back);
    if (!step)
        return std::nullopt;
    std::vector<std::unique_ptr<RecordedRows>> tables;
    for (const RecordedTable& table : kRecordedTables)
        tables.push_back(std::make_unique<RecordedRows>(*this, table));
    auto rowsOf = [&](const UndoStatement& log) -> RecordedRows& {
        const QString name = log.text(kTable);
        for (auto& rows : tables) {
            if (name.compare(QLatin1String(rows->table.name), Qt::CaseInsensitive) == 0)
                return *rows;
        }
        throw DbError(QStringLiteral("The undo history names an unknown table: %1").arg(name));
    };

    UndoStatement log(*this, logQuery(back));
    log.bind(1, step->id);
    std::set<std::pair<const RecordedRows*, qint64>> seen;
    while (log.step()) {
        RecordedRows& rows = rowsOf(log);
        const qint64 key = log.integer(kKey);
        if (!seen.insert({&rows, key}).second || rows.isAsLogged(key, log.integer(nowFlag), log, nowValues))
            continue;
        // Changed since by something the history did not see: the step cannot apply.
        const QString table = QLatin1String(rows.table.name);
        log.reset();
        UndoStatement(*this, QStringLiteral("DELETE FROM UndoLog WHERE StepID = ?1")).bind(1, step->id).run();
        UndoStatement(*this, QStringLiteral("DELETE FROM UndoSteps WHERE StepID = ?1")).bind(1, step->id).run();
        UndoStatement(*this, QStringLiteral("COMMIT")).run();
        rollback.done = true;
        throw UndoConflict(step->label, table, key, !back);
    }

    // The rows as they were, even those an older version let in that today's checks
    // would refuse.
    UndoStatement(*this, QStringLiteral("PRAGMA ignore_check_constraints = ON")).run();
    log.bind(1, step->id);
    while (log.step())
        rowsOf(log).set(log.integer(kKey), log.integer(nowFlag), log.integer(targetFlag), log, targetValues);

    if (back) {
        // The auto-number counters as they were, unless something has numbered rows
        // since: a redone insert then gets its number back, as a new one would.
        for (const RecordedTable& table : kRecordedTables) {
            UndoStatement highest(*this, QStringLiteral("SELECT max(RowKey), (SELECT seq FROM sqlite_sequence WHERE "
                                                        "name = ?2 COLLATE NOCASE), (SELECT %1 FROM UndoSteps WHERE "
                                                        "StepID = ?1) FROM UndoLog WHERE StepID = ?1 AND TableName = "
                                                        "?2 AND Before = 0").arg(QLatin1String(table.sequenceColumn)));
            highest.bind(1, step->id).bind(2, table.name);
            if (!highest.step() || highest.isNull(0) || highest.isNull(1) || highest.integer(0) != highest.integer(1)) {
                highest.reset();
                continue;
            }
            const bool hadCounter = !highest.isNull(2);
            const qint64 counter = highest.integer(2);
            highest.reset();
            if (hadCounter)
                UndoStatement(*this, QStringLiteral("UPDATE sqlite_sequence SET seq = ?1 WHERE name = ?2 COLLATE NOCASE"))
                    .bind(1, counter).bind(2, table.name).run();
            else
                UndoStatement(*this, QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?1 COLLATE NOCASE"))
                    .bind(1, table.name).run();
        }
    }
    UndoStatement(*this, QStringLiteral("UPDATE UndoSteps SET Undone = ?2 WHERE StepID = ?1"))
        .bind(1, step->id).bind(2, qint64(back)).run();
    UndoStatement(*this, QStringLiteral("COMMIT")).run();
    rollback.done = true;
    return step;
}

} // namespace platform
