#pragma once
// Which account a statement goes to when nobody has said: the one remembered for its
// source, else the one whose name the statement or the file's name points at, else none
// (the user chooses; a guess such as "the first by name" books a whole statement to the
// wrong account without anyone noticing). And the account made for a statement that has
// none yet.

#include <QList>
#include <QString>

namespace importing {

struct LedgerAccount {
    qint64 id = 0;
    QString name;
};

// The ledger's accounts by name. Throws as the shared connection's reads do.
QList<LedgerAccount> ledgerAccounts();

// What the statement says of its account, for choosing and naming one.
struct StatementAccount {
    QString id;      // the account number or IBAN the file names, "" when none
    QString type;    // "CHECKING", "SAVINGS", "CREDITCARD", a CAMT code or name; "" when none
    QString fileName;
};

// The account to preselect: `remembered` when it is still there, then the one account
// whose name matches the statement's account id, then its type, then the file's name;
// 0 when none does, or when several match at the same step.
qint64 suggestedAccount(const QList<LedgerAccount>& accounts, qint64 remembered, const StatementAccount& statement);

// A name for a new account for the statement: its type and the last four characters of
// its id ("Checking 6789"), else the file's name without its extension.
QString proposedAccountName(const StatementAccount& statement);

// The account named `name` (the exact name, else the one that differs in case alone);
// 0 when there is none, -1 when several have it.
qint64 accountNamed(const QList<LedgerAccount>& accounts, const QString& name);

// Adds the account as the editor's "+" does, as one undo step, and answers its number.
// Throws as the connection's writes do.
qint64 createAccount(const QString& name);

} // namespace importing
