// Recording the undo history: steps begun and ended, each statement's changed rows seen
// by SQLite's pre-update hook and logged in the statement's own transaction.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1   // Debian's SQLite has it; the header shows it only on request

#include "data/UndoHistory.h"

#include "data/UndoStatement.h"

#include <QStringList>
#include <cstring>
#include <strings.h>

namespace data {

using data::stored::kLoggedColumns;

namespace {

QString joined(const QStringList& parts)
{
    return parts.join(QStringLiteral(", "));
}

// Whether statement `sql` may move an auto-number counter on for a row it never
// makes: an insert told to skip a row it may refuse, or to update one instead. (An
// update or a delete numbers nothing.) The words anywhere will do: a text that holds
// one only costs the next statement a look at the file.
bool mayNumberUnseen(const char* sql)
{
    if (!sql)
        return true;
    while (*sql == ' ' || *sql == '\t' || *sql == '\n' || *sql == '\r')
        ++sql;
    if (strncasecmp(sql, "UPDATE", 6) == 0 || strncasecmp(sql, "DELETE", 6) == 0)
        return false;
    for (; *sql; ++sql) {
        switch (*sql | 0x20) {
        case 'i':
            if (strncasecmp(sql, "IGNORE", 6) == 0)
                return true;
            break;
        case 'r':
            if (strncasecmp(sql, "REPLACE", 7) == 0)
                return true;
            break;
        case 'c':
            if (strncasecmp(sql, "CONFLICT", 8) == 0)
                return true;
            break;
        }
    }
    return false;
}

// "?from, ?from+1, ..." for count parameters.
QString parameters(int from, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QStringLiteral("?%1").arg(from + i);
    return joined(out);
}

} // namespace

// One changed row, as UndoLog keeps it. A statement may change a great many rows (an
// account's transactions all go in one), so their values are kept packed in the
// history's m_images, not as SQLite values of their own.
struct UndoHistory::Change {
    const RecordedTable* table;
    qint64 key;
    bool before, after;     // whether the row existed before and after the change
    size_t old = 0, now = 0;   // where its images before and after start in m_images
};

namespace {

// An image of a row packed: for each column its SQLite type in one byte, then an
// integer's or a real's 8 bytes, or a text's or a blob's length in 4 and its bytes.
void pack(std::string& images, sqlite3* db, int (*read)(sqlite3*, int, sqlite3_value**), const int* columns, int count)
{
    for (int c = 0; c < count; ++c) {
        sqlite3_value* value = nullptr;
        const int type = read(db, columns[c], &value) == SQLITE_OK && value ? sqlite3_value_type(value) : SQLITE_NULL;
        images.push_back(char(type));
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            char bytes[8];
            if (type == SQLITE_INTEGER) {
                const sqlite3_int64 number = sqlite3_value_int64(value);
                std::memcpy(bytes, &number, 8);
            } else {
                const double number = sqlite3_value_double(value);
                std::memcpy(bytes, &number, 8);
            }
            images.append(bytes, 8);
        } else if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
            const void* data = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(value))
                                                   : sqlite3_value_blob(value);
            const quint32 size = quint32(sqlite3_value_bytes(value));
            images.append(reinterpret_cast<const char*>(&size), 4);
            if (size)
                images.append(static_cast<const char*>(data), size);
        }
    }
}

// Binds an image packed at `at` to the parameters from `first` on.
void bindImage(UndoStatement& statement, int first, int count, const std::string& images, size_t at)
{
    for (int c = 0; c < count; ++c) {
        const int type = images[at++];
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            if (type == SQLITE_INTEGER) {
                qint64 number;
                std::memcpy(&number, images.data() + at, 8);
                statement.bind(first + c, number);
            } else {
                double number;
                std::memcpy(&number, images.data() + at, 8);
                statement.bindReal(first + c, number);
            }
            at += 8;
        } else if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
            quint32 size;
            std::memcpy(&size, images.data() + at, 4);
            at += 4;
            statement.bindBytes(first + c, images.data() + at, int(size), type == SQLITE_TEXT);
            at += size;
        }
        // SQLITE_NULL: left unbound, which is Null
    }
}

} // namespace

// The statements every recorded statement runs, prepared once.
struct UndoHistory::Statements {
    explicit Statements(UndoHistory& h)
        : begin(h, QStringLiteral("BEGIN IMMEDIATE"))
        , commit(h, QStringLiteral("COMMIT"))
        , counters(h, countersQuery(), false)
        , clearRedoLog(h, QStringLiteral("DELETE FROM UndoLog WHERE StepID > ?1"))
        , clearRedoSteps(h, QStringLiteral("DELETE FROM UndoSteps WHERE StepID > ?1"))
        , addStep(h, addStepStatement())
        , dropOldLog(h, QStringLiteral("DELETE FROM UndoLog %1").arg(oldest()))
        , dropOldSteps(h, QStringLiteral("DELETE FROM UndoSteps %1").arg(oldest()))
        , log(h, QStringLiteral("INSERT INTO UndoLog (StepID, Seq, %1) VALUES (?1, ?2, %2)")
                     .arg(changeColumns(), parameters(3, kChangeColumns)))
    {
    }

    // The auto-number counters; whether step ?1 is in the file yet; where the history
    // stands (Counters); whether inserts move the counters only as far as the rows
    // they make: not where a trigger or a table's own conflict clause may skip a row
    // once numbered.
    static QString countersQuery()
    {
        QStringList parts;
        for (const RecordedTable& table : kRecordedTables)
            parts << QStringLiteral("(SELECT seq FROM sqlite_sequence WHERE name = '%1' COLLATE NOCASE)")
                         .arg(QLatin1String(table.name));
        parts << QStringLiteral("EXISTS (SELECT 1 FROM UndoSteps WHERE StepID = ?1)")
              << QStringLiteral("coalesce((SELECT StepID FROM UndoSteps WHERE NOT Undone ORDER BY StepID DESC LIMIT 1), 0)")
              << QStringLiteral("coalesce((SELECT max(StepID) FROM UndoSteps), 0)")
              << QStringLiteral("(SELECT count(*) FROM UndoSteps)")
              << QStringLiteral("NOT EXISTS (SELECT 1 FROM main.sqlite_master WHERE type = 'trigger' OR sql LIKE '%CONFLICT%')");
        return QStringLiteral("SELECT ") + joined(parts);
    }
    // The step's row, with its first change.
    static QString addStepStatement()
    {
        QStringList columns;
        for (const RecordedTable& table : kRecordedTables)
            columns << QLatin1String(table.sequenceColumn);
        return QStringLiteral("INSERT INTO UndoSteps (StepID, Label, Undone, %1, %2) VALUES (?1, ?2, 0, %3, %4)")
            .arg(joined(columns), changeColumns(), parameters(3, int(columns.size())),
                 parameters(kStepChange, kChangeColumns));
    }
    // A change's columns, in UndoLog and in its step's row alike.
    static constexpr int kChangeColumns = 4 + 2 * kLoggedColumns;
    static constexpr int kStepChange = 3 + int(std::size(kRecordedTables));   // its first parameter in addStep
    static QString changeColumns()
    {
        return QStringLiteral("TableName, RowKey, Before, After, %1, %2").arg(images(u'B'), images(u'A'));
    }
    // Binds a change to those columns' parameters, from `first` on.
    static void bindChange(UndoStatement& statement, int first, const Change& change, const std::string& images)
    {
        statement.bind(first, change.table->name).bind(first + 1, change.key);
        statement.bind(first + 2, qint64(change.before)).bind(first + 3, qint64(change.after));
        if (change.before)
            bindImage(statement, first + 4, change.table->columnCount, images, change.old);
        if (change.after)
            bindImage(statement, first + 4 + kLoggedColumns, change.table->columnCount, images, change.now);
    }
    // The oldest steps beyond the newest kStepsKept.
    static QString oldest()
    {
        return QStringLiteral("WHERE (SELECT count(*) FROM UndoSteps) > %1 AND StepID <= (SELECT StepID FROM UndoSteps "
                              "ORDER BY StepID LIMIT 1 OFFSET (SELECT count(*) FROM UndoSteps) - %1 - 1)")
            .arg(UndoHistory::kStepsKept);
    }
    static QString images(QChar image)
    {
        QStringList out;
        for (int c = 1; c <= kLoggedColumns; ++c)
            out << image + QString::number(c);
        return joined(out);
    }

    UndoStatement begin, commit, counters, clearRedoLog, clearRedoSteps, addStep, dropOldLog, dropOldSteps, log;
};

UndoHistory::UndoHistory(FileConnection& connection) : m_connection(connection)
{
    m_connection.setObserver(this);
}

UndoHistory::~UndoHistory()
{
    m_connection.setObserver(nullptr);
}

void UndoHistory::opened(sqlite3* writer)
{
    closing();
    QString reason;
    if (recordsOn(writer, reason)) {
        m_db = writer;
        try {
            m_statements = std::make_unique<Statements>(*this);
            return;
        } catch (const DbError& e) {
            m_db = nullptr;
            reason = e.description();
        }
    }
    if (m_unavailable && !std::exchange(m_toldUnavailable, true))
        m_unavailable(reason);
}

bool UndoHistory::recordsOn(sqlite3* writer, QString& reason)
{
    // A SQLite built without the pre-update hook cannot record.
    if (!sqlite3_compileoption_used("ENABLE_PREUPDATE_HOOK")) {
        reason = QStringLiteral("this SQLite library cannot watch changes (no pre-update hook)");
        return false;
    }
    // Where each logged column is; a file without the history's tables, or whose tables
    // lack a column, records nothing.
    sqlite3_stmt* stmt = nullptr;
    int found = 0;
    if (sqlite3_prepare_v2(writer, "SELECT count(*) FROM main.sqlite_master WHERE type = 'table' AND name IN "
                                   "('UndoSteps', 'UndoLog') COLLATE NOCASE", -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        found = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (found != 2) {
        reason = QStringLiteral("the file has no tables %1 and %2").arg(QLatin1String(data::stored::kUndoStepsTable),
                                                                        QLatin1String(data::stored::kUndoLogTable));
        return false;
    }
    for (size_t t = 0; t < std::size(kRecordedTables); ++t) {
        const RecordedTable& table = kRecordedTables[t];
        for (int c = 0; c < table.columnCount; ++c) {
            m_columns[t][c] = -1;
            if (sqlite3_prepare_v2(writer, "SELECT cid FROM pragma_table_info(?1, 'main') WHERE name = ?2 COLLATE NOCASE",
                                   -1, &stmt, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(stmt, 1, table.name, -1, SQLITE_STATIC);
                sqlite3_bind_text(stmt, 2, table.columns[c], -1, SQLITE_STATIC);
                if (sqlite3_step(stmt) == SQLITE_ROW)
                    m_columns[t][c] = sqlite3_column_int(stmt, 0);
            }
            sqlite3_finalize(stmt);
            if (m_columns[t][c] < 0) {
                reason = QStringLiteral("the table %1 has no column %2").arg(QLatin1String(table.name),
                                                                             QLatin1String(table.columns[c]));
                return false;
            }
        }
    }
    return true;
}

void UndoHistory::closing()
{
    m_write.reset();
    if (m_db)
        sqlite3_preupdate_hook(m_db, nullptr, nullptr);
    m_statements.reset();
    forgetChanges();
    m_db = nullptr;
    m_depth = 0;
    m_active = false;
    m_step = 0;
    m_label.clear();
    m_known.reset();
}

void UndoHistory::seeChange(void* self, sqlite3* db, int operation, const char* database, const char* name,
                            qint64 oldKey, qint64 newKey)
{
    UndoHistory& history = *static_cast<UndoHistory*>(self);
    if (!history.m_active || std::strcmp(database, "main") != 0)
        return;
    if (strcasecmp(name, "sqlite_sequence") == 0) {
        history.m_unforeseen = true;
        return;
    }
    size_t t = 0;
    while (t < std::size(kRecordedTables) && strcasecmp(kRecordedTables[t].name, name) != 0)
        ++t;
    if (t == std::size(kRecordedTables))
        return;
    const RecordedTable& table = kRecordedTables[t];
    // The values are SQLite's only while it calls: copies, every type and bit kept.
    std::string& images = history.m_images;
    auto image = [&](int (*read)(sqlite3*, int, sqlite3_value**)) {
        const size_t at = images.size();
        pack(images, db, read, history.m_columns[t], table.columnCount);
        return at;
    };
    std::vector<Change>& changes = history.m_changes;
    switch (operation) {
    case SQLITE_INSERT:
        changes.push_back({&table, newKey, false, true, 0, image(sqlite3_preupdate_new)});
        break;
    case SQLITE_DELETE:
        changes.push_back({&table, oldKey, true, false, image(sqlite3_preupdate_old), 0});
        break;
    case SQLITE_UPDATE:
        if (oldKey == newKey) {
            const size_t old = image(sqlite3_preupdate_old);
            changes.push_back({&table, oldKey, true, true, old, image(sqlite3_preupdate_new)});
        } else {
            // A new key: the row under the old one went, one under the new key came.
            // (Its counter stays where it was, even below the new key.)
            history.m_unforeseen = true;
            changes.push_back({&table, oldKey, true, false, image(sqlite3_preupdate_old), 0});
            changes.push_back({&table, newKey, false, true, 0, image(sqlite3_preupdate_new)});
        }
        break;
    }
}

void UndoHistory::begin(const QString& label)
{
    if (m_depth++ > 0 || !m_db || m_connection.problem() != FileProblem::None)
        return;
    // The step gets its number with its first statement, in that statement's transaction.
    m_active = true;
    m_step = 0;
    m_label = label.toUtf8();
    m_seq = 0;
    // Watching every change costs a little even when nothing is recorded: only during a step.
    sqlite3_preupdate_hook(m_db, &UndoHistory::seeChange, this);
}

void UndoHistory::end()
{
    if (m_depth > 0 && --m_depth == 0) {
        if (m_active)
            sqlite3_preupdate_hook(m_db, nullptr, nullptr);
        m_active = false;
        m_step = 0;
        m_label.clear();
    }
}

bool UndoHistory::beforeWrite(const char* sql)
{
    if (!recording())
        return false;
    m_write.emplace(*this, sql);
    return true;
}

void UndoHistory::written()
{
    // Dropped either way: a commit that failed has rolled back what it began.
    try {
        m_write->commit();
    } catch (...) {
        m_write.reset();
        throw;
    }
    m_write.reset();
}

void UndoHistory::abandoned() noexcept
{
    m_write.reset();
}

UndoHistory::Write::Write(UndoHistory& history, const char* sql) : m_history(history)
{
    Statements& s = *history.m_statements;
    m_began = sqlite3_get_autocommit(history.m_db);
    if (m_began)
        s.begin.run();
    history.forgetChanges();
    m_followed = m_began && !mayNumberUnseen(sql);
    // The counters as they are before the statement, for the step's row should this be
    // its first change: as this connection's last statement left them while nothing
    // has written the file since (a step has its row once it has logged a change),
    // else from the file.
    if (const Counters* known = m_began ? history.knownCounters() : nullptr) {
        m_before = *known;
        m_stepStarted = history.m_seq != 0;
    } else {
        try {
            // (A step that has logged nothing yet has no number of its own: another
            // copy of the program may have taken the one it had.)
            s.counters.bind(1, history.m_seq ? history.m_step : 0);
            if (s.counters.step()) {
                const int tables = int(std::size(kRecordedTables));
                for (int t = 0; t < tables; ++t) {
                    if (!s.counters.isNull(t))
                        m_before.sequence[t] = s.counters.integer(t);
                }
                m_stepStarted = s.counters.integer(tables);
                m_before.newestDone = s.counters.integer(tables + 1);
                m_before.newest = s.counters.integer(tables + 2);
                m_before.steps = s.counters.integer(tables + 3);
                m_followed = m_followed && s.counters.integer(tables + 4);
            }
            s.counters.reset();
        } catch (...) {
            if (m_began && !sqlite3_get_autocommit(history.m_db))
                sqlite3_exec(history.m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    history.m_known.reset();   // until this statement commits
    // Until the step's row is in the file, it goes above every step there is, undone
    // ones included (those go at its first change).
    if (!m_stepStarted)
        history.m_step = m_before.newest + 1;
}

UndoHistory::Write::~Write()
{
    m_history.forgetChanges();
    if (!m_done && m_began && m_history.m_db && !sqlite3_get_autocommit(m_history.m_db))
        sqlite3_exec(m_history.m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void UndoHistory::Write::commit()
{
    UndoHistory& h = m_history;
    Statements& s = *h.m_statements;
    Counters after = m_before;
    // Inserts move a counter on to their highest number, if it is higher; nothing else
    // the history can follow moves one. (A statement that changed nothing may still
    // have set a counter.)
    m_followed = m_followed && !h.m_unforeseen && !h.m_changes.empty();
    for (const Change& change : h.m_changes) {
        if (!change.before && change.after) {
            std::optional<qint64>& sequence = after.sequence[change.table - kRecordedTables];
            sequence = std::max(sequence.value_or(0), change.key);
        }
    }
    if (!h.m_changes.empty() && !m_stepStarted) {
        // The step's first change: what could be redone goes, the step's row comes,
        // and the oldest steps beyond those kept go once there are enough of them.
        if (after.newest > after.newestDone) {
            // (Those beyond the newest kStepsKept first: fewer steps must not bring them
            // back within reach.)
            if (after.steps > kStepsKept)
                after.steps -= h.dropStepsBeyondKept();
            s.clearRedoLog.bind(1, after.newestDone).run();
            s.clearRedoSteps.bind(1, after.newestDone).run();
            after.steps -= sqlite3_changes64(h.m_db);
        }
        s.addStep.bind(1, h.m_step).bindBytes(2, h.m_label.constData(), int(h.m_label.size()), true);
        for (size_t t = 0; t < std::size(kRecordedTables); ++t)
            s.addStep.bind(3 + int(t), m_before.sequence[t]);
        Statements::bindChange(s.addStep, Statements::kStepChange, h.m_changes.front(), h.m_images);
        ++h.m_seq;
        s.addStep.run();
        after.newestDone = after.newest = h.m_step;
        if (++after.steps >= kStepsKept + kStepsDroppedTogether)
            after.steps -= h.dropStepsBeyondKept();
    }
    for (size_t c = m_stepStarted ? 0 : 1; c < h.m_changes.size(); ++c) {
        s.log.bind(1, h.m_step).bind(2, ++h.m_seq);
        Statements::bindChange(s.log, 3, h.m_changes[c], h.m_images);
        s.log.run();
    }
    h.forgetChanges();
    if (m_began) {
        s.commit.run();
        if (m_followed)
            h.remember(after);
    }
    m_done = true;
}

qint64 UndoHistory::dropStepsBeyondKept()
{
    m_statements->dropOldLog.run();
    m_statements->dropOldSteps.run();
    return sqlite3_changes64(m_db);
}

const UndoHistory::Counters* UndoHistory::knownCounters()
{
    unsigned version = 0;
    if (!m_known || sqlite3_file_control(m_db, "main", SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK
        || version != m_knownVersion)
        return nullptr;
    return &*m_known;
}

void UndoHistory::remember(const Counters& counters)
{
    if (sqlite3_file_control(m_db, "main", SQLITE_FCNTL_DATA_VERSION, &m_knownVersion) == SQLITE_OK)
        m_known = counters;
}

void UndoHistory::forgetChanges()
{
    m_unforeseen = false;
    m_changes.clear();
    m_images.clear();
    // What one very large statement took goes back.
    if (m_images.capacity() > kKeptImageBytes) {
        m_changes.shrink_to_fit();
        m_images.shrink_to_fit();
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
    // Undo reaches no further than the newest kStepsKept steps; those beyond wait to be
    // dropped. (Undone steps are always among the newest.)
    UndoStatement query(*this, back ? QStringLiteral("SELECT StepID, Label FROM UndoSteps WHERE NOT Undone AND StepID >= "
                                                     "coalesce((SELECT StepID FROM UndoSteps ORDER BY StepID DESC LIMIT 1 "
                                                     "OFFSET %1), 0) ORDER BY StepID DESC LIMIT 1")
                                          .arg(kStepsKept - 1)
                                    : QStringLiteral("SELECT StepID, Label FROM UndoSteps WHERE Undone "
                                                     "ORDER BY StepID LIMIT 1"),
                        false);
    if (!query.step())
        return std::nullopt;
    Step step{query.integer(0), query.text(1)};
    query.reset();
    return step;
}

} // namespace data
