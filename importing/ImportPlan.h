#pragma once
// What importing a statement into an account would do, row by row, read from the ledger
// and written nowhere: the preview shows it, the command line and the preview's Import
// hand it to writeImport().
//
//   importing::ImportPlan plan = importing::planImport(statement, accountId, "statement.ofx");
//   plan.count(RowStatus::New) ...
//
// A row is new, already in the ledger (its import key is stored for the account and its
// transaction is still there), a possible match (no key, but a row typed by hand into
// the account has the same amount within kMatchDays days: most likely the same money,
// entered before the statement came) or not readable (the reader's reason and line).

#include "importer/Statement.h"

#include <QList>
#include <QString>
#include <optional>

namespace importing {

enum class RowStatus { New, InLedger, PossibleMatch, NotReadable };

// How many days apart a hand-typed row and a statement row may be and still match:
// card payments are booked a few days after they are made.
inline constexpr int kMatchDays = 3;

struct PlannedRow {
    importer::Row row;
    RowStatus status = RowStatus::New;
    QString key;                  // its import key; "" when not readable
    qint64 matchedTransaction = 0;   // PossibleMatch: the hand-typed row's TransactionNumber,
    QDate matchedDate;               // its date and description (its amount is the row's own)
    QString matchedDescription;
};

struct ImportPlan {
    QString fileName;             // the statement's file name, for the step's label
    qint64 accountId = 0;
    QList<PlannedRow> rows;       // the statement's rows, in its order
    // The statement's closing balance less the account's balance on that day once the new
    // rows are in; nullopt when the statement gives no closing balance.
    std::optional<qint64> closingDifference;
    std::optional<importer::Balance> closing;

    int count(RowStatus status) const;
};

// Plans the import of `statement` (already read and not refused) into the account.
// Reads the shared connection; throws as its reads do.
ImportPlan planImport(const importer::Statement& statement, qint64 accountId, const QString& fileName);

// Marks the rows the plan would add that the ledger holds by now (the same statement
// imported meanwhile from another window or process) as already in the ledger, and
// answers how many. A plan is read before the write, so the writer asks again under
// the ledger's write lock (see writeImport). Throws as the connection's reads do.
int markRowsStoredSince(ImportPlan& plan);

} // namespace importing
