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

int writeImport(const ImportPlan& plan, Matches matches)
{
    QList<ImportPlan> plans{plan};
    return writeImports(plans, matches);
}

int writeImports(QList<ImportPlan>& plans, Matches matches)
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
    if (rows.isEmpty())
        return 0;
    data::Connection& db = data::connection();
    // The transaction first: the step's statements then join it rather than each
    // committing with its own log.
    db.BeginTrans();
    try {
        const data::UndoStep step(data::steps::importStatement(rows.size(), plans.front().fileName));
        // Asked once the import's transaction holds the ledger, so that nothing else can
        // number a row before the import's commit.
        const qint64 first = db.nextKey(QStringLiteral("Transactions"));
        for (qsizetype from = 0; from < rows.size(); from += kRowsAStatement) {
            const qsizetype to = std::min(rows.size(), from + kRowsAStatement);
            QStringList transactions, keys;
            for (qsizetype i = from; i < to; ++i) {
                transactions << transactionValues(first + i, rows[i].accountId, rows[i].row->row);
                keys << keyValues(rows[i].accountId, rows[i].row->key, rows[i].row->row, first + i);
            }
            db.Execute(kInsertTransactions + transactions.join(u','));
            db.Execute(kInsertKeys + keys.join(u','));
        }
        db.CommitTrans();
    } catch (...) {
        db.RollbackTrans();
        throw;
    }
    return int(rows.size());
}

} // namespace importing
