#include "data/StoredFormat.h"

#include "data/LedgerSchema.h"

#include <QStringList>
#include <sqlite3.h>
#include <strings.h>

namespace data::stored {

namespace {
struct KnownColumn { const char* table; const char* column; ColumnKind kind; };
constexpr KnownColumn kKnownColumns[] = {
    {"Transactions", "TransactionDate", ColumnKind::Date},
    {"Transactions", "Taxable", ColumnKind::YesNo},
    {"tblReport", "Date", ColumnKind::Date},
};

bool digits(const char* p, int n, int& out)
{
    out = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        out = out * 10 + (p[i] - '0');
    }
    return true;
}
// A run of statements that stops at the first failure and keeps its code and message.
class Steps {
public:
    explicit Steps(sqlite3* db) : m_db(db) {}

    void exec(const QString& sql)
    {
        if (m_rc == SQLITE_OK)
            check(sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr));
    }

    // The rows of a one-column query, as texts.
    QStringList column(const QString& sql)
    {
        QStringList out;
        if (m_rc != SQLITE_OK)
            return out;
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
                out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        check(rc == SQLITE_DONE ? SQLITE_OK : rc);
        sqlite3_finalize(stmt);
        return out;
    }

    int rc() const { return m_rc; }
    QString message() const { return m_message; }

private:
    void check(int rc)
    {
        m_rc = rc;
        if (rc != SQLITE_OK)
            m_message = QString::fromUtf8(sqlite3_errmsg(m_db));
    }

    sqlite3* m_db;
    int m_rc = SQLITE_OK;
    QString m_message;
};

QString name(const QString& identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString text(const QString& value)
{
    return u'\'' + QString(value).replace(u'\'', QStringLiteral("''")) + u'\'';
}

// The ledger's tables the file holds, under the names it spells them with.
QStringList ledgerTables(Steps& steps)
{
    const QStringList all = steps.column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    QStringList tables;
    for (const char* wanted :
         {kAccountsTable, kTransactionsTable, kReportTable, kUndoStepsTable, kUndoLogTable, kImportKeysTable}) {
        for (const QString& table : all) {
            if (table.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0)
                tables << table;
        }
    }
    return tables;
}

void rebuildTables(Steps& steps)
{
    const QStringList tables = ledgerTables(steps);
    // Out of the way first: the old tables under other names, without their indexes.
    for (const QString& table : tables) {
        const QStringList indexes = steps.column(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL AND tbl_name = %1")
                .arg(text(table)));
        for (const QString& index : indexes)
            steps.exec(QStringLiteral("DROP INDEX %1").arg(name(index)));
        steps.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(name(table), name(table + QStringLiteral("_old"))));
    }
    steps.exec(QString::fromUtf8(kSchemaSql));
    // Every row as it was: the current checks guard what is written from now on.
    steps.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
    for (const QString& table : tables) {
        const QString old = table + QStringLiteral("_old");
        const QStringList oldColumns = steps.column(QStringLiteral("SELECT name FROM pragma_table_info(%1)").arg(text(old)));
        QStringList common;
        for (const QString& c : steps.column(QStringLiteral("SELECT name FROM pragma_table_info(%1)").arg(text(table)))) {
            if (oldColumns.contains(c, Qt::CaseInsensitive))
                common << name(c);
        }
        if (!common.isEmpty())
            steps.exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(name(table), common.join(u','), name(old)));
        // Auto-numbers carry on from where the old table's left off, never reusing one.
        steps.exec(QStringLiteral("INSERT OR REPLACE INTO sqlite_sequence (rowid, name, seq) "
                                  "SELECT (SELECT rowid FROM sqlite_sequence WHERE name = %1), %1, "
                                  "max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = %1), 0), o.seq) "
                                  "FROM sqlite_sequence o WHERE o.name = %2")
                       .arg(text(table), text(old)));
        steps.exec(QStringLiteral("DROP TABLE %1").arg(name(old)));
    }
}

} // namespace

int inspect(sqlite3* db, FileFacts& facts)
{
    Steps steps(db);
    const QStringList version = steps.column(QStringLiteral("PRAGMA user_version"));
    const QStringList tables = ledgerTables(steps);
    if (steps.rc() != SQLITE_OK)
        return steps.rc();
    facts.version = version.value(0).toInt();
    facts.isLedger = tables.contains(QLatin1String(kAccountsTable), Qt::CaseInsensitive)
        && tables.contains(QLatin1String(kTransactionsTable), Qt::CaseInsensitive);
    return SQLITE_OK;
}

int migrate(sqlite3* db, QString& message)
{
    Steps steps(db);
    steps.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (steps.rc() == SQLITE_OK) {
        rebuildTables(steps);
        steps.exec(QStringLiteral("COMMIT"));
        if (steps.rc() != SQLITE_OK)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "PRAGMA ignore_check_constraints = OFF", nullptr, nullptr, nullptr);
    message = steps.message();
    return steps.rc();
}

ColumnKind kindOf(const char* table, const char* column)
{
    if (!table || !column)
        return ColumnKind::Plain;
    for (const auto& known : kKnownColumns) {
        if (strcasecmp(known.table, table) == 0 && strcasecmp(known.column, column) == 0)
            return known.kind;
    }
    return ColumnKind::Plain;
}

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString dateTimeText(const QDateTime& dateTime)
{
    if (dateTime.time() == QTime(0, 0))
        return dateText(dateTime.date());
    return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<QVariant> parseDateText(const char* s, int n)
{
    int y, m, d;
    if (n < 10 || s[4] != '-' || s[7] != '-' || !digits(s, 4, y) || !digits(s + 5, 2, m)
        || !digits(s + 8, 2, d))
        return std::nullopt;
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    if (n == 10)
        return QVariant(date);
    int hh, mm, ss;
    if (n != 19 || s[10] != ' ' || s[13] != ':' || s[16] != ':' || !digits(s + 11, 2, hh)
        || !digits(s + 14, 2, mm) || !digits(s + 17, 2, ss))
        return std::nullopt;
    const QTime time(hh, mm, ss);
    if (!time.isValid())
        return std::nullopt;
    return QVariant(QDateTime(date, time, Qt::UTC));
}

} // namespace data::stored
