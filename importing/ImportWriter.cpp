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

// A whole number of cents as plain decimal text ("-12.50"), appended.
void appendCents(QString& to, qint64 cents)
{
    if (cents < 0)
        to += u'-';
    // qint64's smallest value has no positive counterpart; amounts never reach it.
    const quint64 size = cents < 0 ? quint64(-(cents + 1)) + 1 : quint64(cents);
    to += QString::number(size / 100);
    to += u'.';
    to += QChar(u'0' + char16_t(size % 100 / 10));
    to += QChar(u'0' + char16_t(size % 10));
}

void appendTransaction(QString& to, qint64 transactionNumber, qint64 accountId, const importer::Row& row)
{
    // The editor's form: amounts as plain decimal text, the other side zero, Taxable No.
    // Both amounts are written with their cents so that every row has one shape (a
    // file prepares the batch's statement once).
    to += u'(';
    to += QString::number(transactionNumber);
    to += QStringLiteral(",#");
    to += data::sql::jetDate(row.date);
    to += QStringLiteral("#,'");
    to += data::sql::quoted(row.description);
    to += QStringLiteral("',");
    to += QString::number(accountId);
    to += u',';
    appendCents(to, row.cents < 0 ? -row.cents : 0);
    to += u',';
    appendCents(to, row.cents > 0 ? row.cents : 0);
    to += QStringLiteral(",0)");
}

void appendKey(QString& to, qint64 accountId, const QString& key, const importer::Row& row, qint64 transactionNumber)
{
    to += u'(';
    to += QString::number(accountId);
    to += QStringLiteral(",'");
    to += data::sql::quoted(key);
    to += QStringLiteral("','");
    to += row.date.toString(Qt::ISODate);
    to += QStringLiteral("',");
    to += QString::number(row.cents);
    to += u',';
    to += QString::number(transactionNumber);
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

// Writes the plan's rows inside the transaction holdLedger began, and commits it; rolls
// it back on any failure.
int writeHeld(data::Connection& db, const ImportPlan& plan, Matches matches, qint64 first)
{
    QList<const PlannedRow*> rows;
    for (const PlannedRow& planned : plan.rows) {
        if (planned.status == RowStatus::New || (planned.status == RowStatus::PossibleMatch && matches == Matches::Add))
            rows.append(&planned);
    }
    try {
        if (!rows.isEmpty()) {
            const data::UndoStep step(data::steps::importStatement(rows.size(), plan.fileName));
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
                    appendTransaction(transactions, first + i, plan.accountId, rows[i]->row);
                    appendKey(keys, plan.accountId, rows[i]->key, rows[i]->row, first + i);
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
    data::Connection& db = data::connection();
    const qint64 first = holdLedger(db);
    try {
        markRowsStoredSince(plan);
    } catch (...) {
        db.RollbackTrans();
        throw;
    }
    return writeHeld(db, plan, matches, first);
}

Imported importStatement(const importer::Statement& statement, qint64 accountId, const QString& fileName,
                         Matches matches)
{
    data::Connection& db = data::connection();
    const qint64 first = holdLedger(db);
    Imported imported;
    try {
        imported.plan = planImport(statement, accountId, fileName);
    } catch (...) {
        db.RollbackTrans();
        throw;
    }
    imported.added = writeHeld(db, imported.plan, matches, first);
    return imported;
}

} // namespace importing
