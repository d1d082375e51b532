// Undo and redo: a step's rows set back to their values before it, or forward to
// those after it, once they are found as the step left them.
#include "data/UndoHistory.h"

#include "data/UndoStatement.h"

#include <QStringList>
#include <cstring>
#include <set>

namespace data {

namespace {

QString quoted(const char* name)
{
    return u'"' + QString::fromLatin1(name) + u'"';
}

// "c1", "c2", ... : a table's logged columns.
QString columns(const RecordedTable& table)
{
    QStringList out;
    for (int c = 0; c < table.columnCount; ++c)
        out << quoted(table.columns[c]);
    return out.join(QStringLiteral(", "));
}

// Whether two values are the same, type and every bit. A whole number in a REAL column
// is one exception: the file keeps it as an integer, and the log may hold it so.
bool sameValue(sqlite3_value* a, sqlite3_value* b)
{
    const int type = sqlite3_value_type(a);
    if (type != sqlite3_value_type(b)) {
        const auto whole = [](sqlite3_value* i, sqlite3_value* r) {
            const double real = sqlite3_value_double(r);
            return sqlite3_value_type(i) == SQLITE_INTEGER && sqlite3_value_type(r) == SQLITE_FLOAT
                && real >= -0x1p63 && real < 0x1p63 && qint64(real) == sqlite3_value_int64(i);
        };
        return whole(a, b) || whole(b, a);
    }
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
constexpr int kAfterValues = kBeforeValues + data::stored::kLoggedColumns;

// Step ?1's changes, with `columns`: the first in the step's own row, the others in
// UndoLog.
QString changesOfStep(const QString& columns)
{
    return QStringLiteral("SELECT 1 AS Seq, %1 FROM UndoSteps WHERE StepID = ?1 UNION ALL "
                          "SELECT Seq, %1 FROM UndoLog WHERE StepID = ?1").arg(columns);
}

QString logQuery(bool back)
{
    QStringList images;
    for (const QChar image : {u'B', u'A'}) {
        for (int c = 1; c <= data::stored::kLoggedColumns; ++c)
            images << image + QString::number(c);
    }
    const QString columns = QStringLiteral("TableName, RowKey, Before, After, ") + images.join(QStringLiteral(", "));
    return QStringLiteral("SELECT %1 FROM (%2) ORDER BY Seq %3")
        .arg(columns, changesOfStep(columns), back ? QStringLiteral("DESC") : QStringLiteral("ASC"));
}

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

} // namespace

void UndoHistory::fail(int result, const QString& message, bool writing)
{
    m_connection.fail(result, message, writing);
}

sqlite3* UndoHistory::writer()
{
    if (m_connection.problem() != FileProblem::None)
        throw FileRefusal(m_connection.problemMessage(), false);
    if (m_connection.State() == Connection::adStateClosed)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    return m_db;
}

namespace {

// The statements of every recorded table, and the one an entry of the log names.
class RecordedTables {
public:
    explicit RecordedTables(UndoHistory& history)
    {
        for (const RecordedTable& table : kRecordedTables)
            m_tables.push_back(std::make_unique<RecordedRows>(history, table));
    }
    RecordedRows& of(const UndoStatement& log)
    {
        const QString name = log.text(kTable);
        for (auto& rows : m_tables) {
            if (name.compare(QLatin1String(rows->table.name), Qt::CaseInsensitive) == 0)
                return *rows;
        }
        throw DbError(QStringLiteral("The undo history names an unknown table: %1").arg(name));
    }

private:
    std::vector<std::unique_ptr<RecordedRows>> m_tables;
};

// Where the log's entries keep a row's image now and the one it is to be given: undo
// walks a step newest change first and sets each row to its image before the change;
// redo walks it oldest first, to the image after.
struct Direction {
    explicit Direction(bool back)
        : nowFlag(back ? kAfter : kBefore), nowValues(back ? kAfterValues : kBeforeValues)
        , targetFlag(back ? kBefore : kAfter), targetValues(back ? kBeforeValues : kAfterValues)
    {
    }
    int nowFlag, nowValues, targetFlag, targetValues;
};

// The first row of the step found changed since by something the history did not see.
struct ChangedRow {
    QString table;
    qint64 key;
};

// Whether every row the step touched is as the step (or its undo) left it: the first
// entry met for a row holds the image the row must have now.
std::optional<ChangedRow> firstChangedRow(RecordedTables& tables, UndoStatement& log, const Direction& d)
{
    std::set<std::pair<const RecordedRows*, qint64>> seen;
    while (log.step()) {
        RecordedRows& rows = tables.of(log);
        const qint64 key = log.integer(kKey);
        if (!seen.insert({&rows, key}).second || rows.isAsLogged(key, log.integer(d.nowFlag), log, d.nowValues))
            continue;
        log.reset();
        return ChangedRow{QLatin1String(rows.table.name), key};
    }
    return std::nullopt;
}

} // namespace

void UndoHistory::forgetStep(qint64 id)
{
    // Those beyond the newest kStepsKept go first: one step fewer must not bring one of
    // them back within reach.
    dropStepsBeyondKept();
    UndoStatement(*this, QStringLiteral("DELETE FROM UndoLog WHERE StepID = ?1")).bind(1, id).run();
    UndoStatement(*this, QStringLiteral("DELETE FROM UndoSteps WHERE StepID = ?1")).bind(1, id).run();
}

void UndoHistory::restoreCounters(qint64 id)
{
    // The auto-number counters as they were, unless something has numbered rows since:
    // a redone insert then gets its number back, as a new one would.
    for (const RecordedTable& table : kRecordedTables) {
        UndoStatement highest(*this, QStringLiteral("SELECT max(RowKey), (SELECT seq FROM sqlite_sequence WHERE "
                                                    "name = ?2 COLLATE NOCASE), (SELECT %1 FROM UndoSteps WHERE "
                                                    "StepID = ?1) FROM (%2) WHERE TableName = ?2 AND Before = 0")
                                      .arg(QLatin1String(table.sequenceColumn),
                                           changesOfStep(QStringLiteral("TableName, RowKey, Before"))));
        highest.bind(1, id).bind(2, table.name);
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

std::optional<UndoHistory::Step> UndoHistory::move(bool back)
{
    if (!writer())
        return std::nullopt;   // the file keeps no history
    Q_ASSERT(!m_active);     // nothing is recorded while a step moves
    const Direction direction(back);

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

    std::optional<Step> step = next(back);
    if (!step)
        return std::nullopt;
    RecordedTables tables(*this);
    UndoStatement log(*this, logQuery(back));
    log.bind(1, step->id);
    if (const std::optional<ChangedRow> changed = firstChangedRow(tables, log, direction)) {
        // The step can never apply again: it leaves the history.
        forgetStep(step->id);
        UndoStatement(*this, QStringLiteral("COMMIT")).run();
        rollback.done = true;
        // The file's history records every copy's steps in one line: what changed the
        // row since recorded none, so it cannot be told who it was.
        throw UndoConflict(step->label, changed->table, changed->key, !back, UndoConflict::ChangedBy::AnotherCopy);
    }

    // The rows as they were, even those an older version let in that today's checks
    // would refuse.
    UndoStatement(*this, QStringLiteral("PRAGMA ignore_check_constraints = ON")).run();
    log.bind(1, step->id);
    while (log.step()) {
        if (!step->transaction && log.text(kTable) == QLatin1String(stored::kTransactionsTable))
            step->transaction = log.integer(kKey);
        tables.of(log).set(log.integer(kKey), log.integer(direction.nowFlag), log.integer(direction.targetFlag), log,
                           direction.targetValues);
    }
    if (back)
        restoreCounters(step->id);
    UndoStatement(*this, QStringLiteral("UPDATE UndoSteps SET Undone = ?2 WHERE StepID = ?1"))
        .bind(1, step->id).bind(2, qint64(back)).run();
    UndoStatement(*this, QStringLiteral("COMMIT")).run();
    rollback.done = true;
    return step;
}

} // namespace data
