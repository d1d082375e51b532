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

// Writes them over the shared connection and answers how many rows were added. The plan
// was read before; under the ledger's write lock (the file's, or on a server the lock on
// its transactions every import takes) the writer looks again, and rows stored since (the
// same statement imported at the same moment elsewhere) become InLedger in `plan` rather
// than being added twice. Throws what the connection throws (platform::DbError,
// FileRefusal); nothing is written then.
int writeImport(ImportPlan& plan, Matches matches = Matches::Skip);
// The same for a file of several accounts' statements, a plan each: one transaction and
// one undo step for them all, each plan marked as writeImport marks it.
int writeImports(QList<ImportPlan>& plans, Matches matches = Matches::Skip);

// One row's values for the inserts, in Jet SQL with the editor's literals: "(...)".
QString transactionValues(qint64 transactionNumber, qint64 accountId, const importer::Row& row);
QString keyValues(qint64 accountId, const QString& key, const importer::Row& row, qint64 transactionNumber);

} // namespace importing
