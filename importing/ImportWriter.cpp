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

QString transactionValues(qint64 transactionNumber, qint64 accountId, const importer::Row& row)
{
    // The editor's form: amounts as plain decimal text, the other side 0, Taxable No.
    const QString withdrawal = row.cents < 0 ? importer::centsText(-row.cents) : QStringLiteral("0");
    const QString deposit = row.cents > 0 ? importer::centsText(row.cents) : QStringLiteral("0");
    return u'(' + QString::number(transactionNumber) + QStringLiteral(",#") + data::sql::jetDate(row.date)
        + QStringLiteral("#,'") + data::sql::quoted(row.description) + QStringLiteral("',") + QString::number(accountId)
        + u',' + withdrawal + u',' + deposit + QStringLiteral(",0)");
}

QString keyValues(qint64 accountId, const QString& key, const importer::Row& row, qint64 transactionNumber)
{
    return u'(' + QString::number(accountId) + QStringLiteral(",'") + data::sql::quoted(key) + QStringLiteral("','")
        + row.date.toString(Qt::ISODate) + QStringLiteral("',") + QString::number(row.cents) + u','
        + QString::number(transactionNumber) + u')';
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
                QStringList transactions, keys;
                for (qsizetype i = from; i < to; ++i) {
                    transactions << transactionValues(first + i, plan.accountId, rows[i]->row);
                    keys << keyValues(plan.accountId, rows[i]->key, rows[i]->row, first + i);
                }
                db.Execute(kInsertTransactions + transactions.join(u','));
                db.Execute(kInsertKeys + keys.join(u','));
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
