#pragma once
// What each step of the undo history is called: the text after "Undo " and "Redo " in
// the list's menu ("Delete transaction 42", "Delete account Loans and 12
// transactions"). Kept short and on one line, whatever names the user typed.

#include <QString>

namespace data::steps {

QString addTransaction();
// number: the transaction's number as the list shows it.
QString editTransaction(const QString& number);
QString deleteTransaction(const QString& number);
QString duplicateTransaction(const QString& number);
QString addAccount(const QString& name);
// transactions: how many go with the account; a negative count when it is not known.
QString deleteAccount(const QString& name, long long transactions);
QString exampleData();
// transactions: how many the import adds; fileName: the statement's file name, no folder.
QString importStatement(long long transactions, const QString& fileName);

// A name as a label shows it: white space (line breaks included) as single spaces,
// trimmed, and cut with "…" past 40 characters.
QString shortName(const QString& name);

} // namespace data::steps
