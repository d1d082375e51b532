#include "importing/ImportWriter.h"

#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "data/StepNames.h"
#include "data/Undo.h"

#include <QStringList>
#include <algorithm>

namespace importing {

namespace {

const QString kInsertTransactions = QStringLiteral(
    "insert into Transactions (TransactionNumber,TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,"
    "DepositAmount,Taxable) values ");
const QString kInsertKeys =
    QStringLiteral("insert into ImportKeys (AccountID,ImportKey,KeyDate,KeyCents,TransactionNumber) values ");
// Rows a statement: each statement the undo history records costs it a look at the
// file, so a large import goes in a few hundred statements rather than one a row.
constexpr qsizetype kRowsAStatement = 500;

} // namespace

namespace {

// The texts of a batch are appended piece by piece, without a string of their own each:
// a large import writes hundreds of thousands of them.

// A number's decimal digits, at least `width` of them.
void appendNumber(QString& to, quint64 value, int width = 1)
{
    char digits[24];
    int at = int(sizeof digits);
    do {
        digits[--at] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 || int(sizeof digits) - at < width);
    to += QLatin1StringView(digits + at, qsizetype(sizeof digits) - at);
}

void appendInteger(QString& to, qint64 value)
{
    if (value < 0)
        to += u'-';
    // qint64's smallest value has no positive counterpart: its magnitude, unsigned.
    appendNumber(to, value < 0 ? quint64(-(value + 1)) + 1 : quint64(value));
}

// A whole number of cents as plain decimal text ("-12.50").
void appendCents(QString& to, qint64 cents)
{
    if (cents < 0)
        to += u'-';
    const quint64 size = cents < 0 ? quint64(-(cents + 1)) + 1 : quint64(cents);
    appendNumber(to, size / 100);
    to += u'.';
    appendNumber(to, size % 100, 2);
}

// A text within the Jet literal's quotes.
void appendQuoted(QString& to, const QString& text)
{
    if (text.contains(u'\'') || text.contains(QChar(0)))
        to += data::sql::quoted(text);
    else
        to += text;
}

// The date as "yyyy-MM-dd", as the keys store it.
void appendIsoDate(QString& to, const QDate& date)
{
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    if (year < 0 || year > 9999) {
        to += date.toString(Qt::ISODate);
        return;
    }
    appendNumber(to, quint64(year), 4);
    to += u'-';
    appendNumber(to, quint64(month), 2);
    to += u'-';
    appendNumber(to, quint64(day), 2);
}

void appendTransaction(QString& to, qint64 transactionNumber, qint64 accountId, const importer::Row& row)
{
    // The editor's form: amounts as plain decimal text, the other side zero, Taxable No.
    // Both amounts are written with their cents so that every row has one shape (a
    // file prepares the batch's statement once).
    to += u'(';
    appendInteger(to, transactionNumber);
    to += QStringLiteral(",#");
    to += data::sql::jetDate(row.date);
    to += QStringLiteral("#,'");
    appendQuoted(to, row.description);
    to += QStringLiteral("',");
    appendInteger(to, accountId);
    to += u',';
    appendCents(to, row.cents < 0 ? -row.cents : 0);
    to += u',';
    appendCents(to, row.cents > 0 ? row.cents : 0);
    to += QStringLiteral(",0)");
}

void appendKey(QString& to, qint64 accountId, const QString& key, const importer::Row& row, qint64 transactionNumber)
{
    to += u'(';
    appendInteger(to, accountId);
    to += QStringLiteral(",'");
    appendQuoted(to, key);
    to += QStringLiteral("','");
    appendIsoDate(to, row.date);
    to += QStringLiteral("',");
    appendInteger(to, row.cents);
    to += u',';
    appendInteger(to, transactionNumber);
    to += u')';
}

} // namespace

QString transactionValues(qint64 transactionNumber, qint64 accountId, const importer::Row& row)
{
    QString values;
    appendTransaction(values, transactionNumber, accountId, row);
    return values;
}

QString keyValues(qint64 accountId, const QString& key, const importer::Row& row, qint64 transactionNumber)
{
    QString values;
    appendKey(values, accountId, key, row, transactionNumber);
    return values;
}

namespace {

// Takes the ledger for the import's transaction: the file's write lock comes with its
// BEGIN, a server's with asking for the next number (the lock every import, and every
// other numbering of a row, waits for). Answers that number.
qint64 holdLedger(data::Connection& db)
{
    db.BeginTrans();
    try {
        return db.nextKey(QStringLiteral("Transactions"));
    } catch (...) {
        db.RollbackTrans();
        throw;
    }
}

// Writes the plans' rows inside the transaction holdLedger began, as one undo step, and
// commits it; rolls it back on any failure.
int writeHeld(data::Connection& db, const QList<ImportPlan>& plans, Matches matches, qint64 first)
{
    struct Planned {
        qint64 accountId;
        const PlannedRow* row;
    };
    QList<Planned> rows;
    for (const ImportPlan& plan : plans) {
        for (const PlannedRow& planned : plan.rows) {
            if (planned.status == RowStatus::New || (planned.status == RowStatus::PossibleMatch && matches == Matches::Add))
                rows.append({plan.accountId, &planned});
        }
    }
    try {
        if (!rows.isEmpty()) {
            const data::UndoStep step(data::steps::importStatement(rows.size(), plans.front().fileName));
            for (qsizetype from = 0; from < rows.size(); from += kRowsAStatement) {
                const qsizetype to = std::min(rows.size(), from + kRowsAStatement);
                QString transactions = kInsertTransactions, keys = kInsertKeys;
                transactions.reserve(transactions.size() + (to - from) * 80);
                keys.reserve(keys.size() + (to - from) * 80);
                for (qsizetype i = from; i < to; ++i) {
                    if (i > from) {
                        transactions += u',';
                        keys += u',';
                    }
                    appendTransaction(transactions, first + i, rows[i].accountId, rows[i].row->row);
                    appendKey(keys, rows[i].accountId, rows[i].row->key, rows[i].row->row, first + i);
                }
                db.Execute(transactions);
                db.Execute(keys);
            }
        }
        db.CommitTrans();
    } catch (...) {
        db.RollbackTrans();
        throw;
    }
    return int(rows.size());
}

} // namespace

int writeImport(ImportPlan& plan, Matches matches)
{
    QList<ImportPlan> plans{plan};
    const int added = writeImports(plans, matches);
    plan = plans.front();
    return added;
}

int writeImports(QList<ImportPlan>& plans, Matches matches)
{
    data::Connection& db = data::connection();
    const qint64 first = holdLedger(db);
    try {
        for (ImportPlan& plan : plans)
            markRowsStoredSince(plan);
    } catch (...) {
        db.RollbackTrans();
        throw;
    }
    return writeHeld(db, plans, matches, first);
}

} // namespace importing
