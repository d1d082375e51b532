#pragma once
// How values are written into the SQL text the windows build.

#include <QDate>
#include <QString>
#include <QVariant>

namespace data::sql {

// The start of every insert of a transaction; the values follow in this column order.
inline const QString kInsertTransaction = QStringLiteral(
    "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,"
    "Taxable) values (");

// Text for a quoted literal: every single quote doubled, nothing else touched.
QString quoted(const QString& text);
// "mm/dd/yyyy" for Jet's #...# date literal and CDate('...').
QString jetDate(const QDate& date);
// The same for a stored date, its time of day dropped; throws "Invalid use of Null" for
// Null and "Type mismatch" for anything that is not a date.
QString jetDate(const QVariant& stored);
// A stored amount as a plain SQL number; Null as 0.
QString amount(const QVariant& stored);

} // namespace data::sql
