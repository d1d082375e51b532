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
// A number as SQL text that the database reads back as exactly this double: the
// shortest such text, "." for the decimal point, no grouping ("12345678901234.56",
// "0.1", "1e-07", "1.7976931348623157e+308"). A few numbers far below any amount
// (around 1e-300) that no decimal text reads back as are written as an exact product
// instead. Every number written into a statement goes through here. Throws "Overflow"
// for an infinity or NaN, which no ledger holds.
QString numberLiteral(double value);
// A stored amount as a number literal; Null as 0.
QString amount(const QVariant& stored);

} // namespace data::sql
