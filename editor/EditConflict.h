#pragma once
// What the editor does about a transaction someone else changed while it was open (another
// desktop on a shared ledger, another copy of the program on the same file): its Save
// goes through only while the row still holds what the editor read, and otherwise says
// what changed, their values beside the user's.

#include "editor/TransactionStatements.h"

#include <QString>
#include <QVariant>

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

// What the user is told when their Save met someone else's change: what changed, their
// values beside the user's (`yours`, with the account's name), and the choice (Yes: take
// theirs; No: keep editing).
QString conflictMessage(const StoredTransaction& read, const StoredTransaction& theirs, const TransactionValues& yours,
                        const QString& yourAccount, const QLocale& locale = QLocale());

// Why a new transaction was not saved: its account `name` was deleted meanwhile.
QString accountGoneMessage(const QString& name);

// The notice an open editor shows when the row changed, or went, meanwhile.
QString changedElsewhereNotice(bool deleted);

} // namespace editor
