#pragma once
// Writes a planned import into the ledger: the new rows as the editor would store them
// (date, account, description, withdrawal or deposit, not taxable), each with its import
// key, all in one transaction and one undo step ("Import 212 transactions from
// statement.ofx"), so that a failure half-way leaves the ledger as it was and one undo
// takes the whole import back.

#include "importing/ImportPlan.h"

namespace importing {

// Which rows of the plan go in: the new ones always, the possible matches only when the
// user (or the script) wants them added rather than taken as the rows typed by hand.
enum class Matches { Skip, Add };

// Writes them over the shared connection and answers how many rows were added. Throws
// what the connection throws (platform::DbError, FileRefusal); nothing is written then.
int writeImport(const ImportPlan& plan, Matches matches = Matches::Skip);
// The same for a file of several accounts' statements, a plan each: one transaction and
// one undo step for them all. The plans are the writer's to mark with what it finds
// (see writeImport); callers count their rows after the write.
int writeImports(QList<ImportPlan>& plans, Matches matches = Matches::Skip);

// One row's values for the inserts, in Jet SQL with the editor's literals: "(...)".
QString transactionValues(qint64 transactionNumber, qint64 accountId, const importer::Row& row);
QString keyValues(qint64 accountId, const QString& key, const importer::Row& row, qint64 transactionNumber);

} // namespace importing
