#pragma once
// What the editor does about a transaction someone else changed while it was open (another
// desktop on a shared ledger, another copy of the program on the same file): its Save
// goes through only while the row still holds what the editor read; otherwise the two
// edits are merged field by field, and only a field both changed is asked about.

#include "editor/TransactionStatements.h"

#include <QString>
#include <QVariant>
#include <vector>

namespace data {
class Recordset;
}

namespace editor {

// A transaction as read from the ledger: its stored values, with its account's name.
struct StoredTransaction {
    QVariant date, description, accountId, accountName, withdrawal, deposit, taxable;
    bool operator==(const StoredTransaction& other) const = default;
};

// The values of the record rs stands on (the editor's own query, joined with Accounts).
StoredTransaction storedTransaction(const data::Recordset& rs);

// The editor's update, made only while the row still holds `read`: it changes no row
// when someone else has changed or deleted it since.
QString updateTransactionIfUnchanged(const TransactionValues& values, const QString& transactionNumber,
                                     const StoredTransaction& read, const QLocale& locale = QLocale());

// A transaction's fields, in the order the window shows them.
enum class Field { Date, Account, Description, Withdrawal, Deposit, Taxable };

// The user's edit laid over someone else's, field by field, against the row as the
// editor read it: a field only one side changed keeps that side's value; a field both
// changed to different values is a conflict, for the user to settle.
struct EditMerge {
    TransactionValues yours;            // what the window holds
    TransactionValues theirs;           // the row as it is now, as the editor writes it
    std::vector<Field> mine;            // changed by the user
    std::vector<Field> conflicts;       // changed on both sides, differently
    // What goes into the row: each side's own changes, and on a conflict yours when
    // `yoursOnConflict`, theirs otherwise.
    TransactionValues merged(bool yoursOnConflict) const;
};

// Merges the user's values `yours` with the row as it is now (`theirs`), both changed
// since `read`.
EditMerge mergeEdit(const StoredTransaction& read, const StoredTransaction& theirs, const TransactionValues& yours,
                    const QLocale& locale = QLocale());

// The question when both changed the same field: for each such field theirs beside yours
// (`theirAccount`, `yourAccount`: the accounts' names), and what Yes and No keep.
QString conflictMessage(const EditMerge& merge, const QString& theirAccount, const QString& yourAccount,
                        const QLocale& locale = QLocale());

// Why a new transaction was not saved: its account `name` was deleted meanwhile.
QString accountGoneMessage(const QString& name);

// The notice an open editor shows when the row changed, or went, meanwhile.
QString changedElsewhereNotice(bool deleted);

} // namespace editor
