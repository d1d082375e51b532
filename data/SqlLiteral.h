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

// Text for a quoted literal: every single quote doubled. A NUL, which would end the
// database's reading of the literal, closes the quotes for a Chr(0) joined on with &
// ("a'&Chr(0)&'b"), so the text is still one value between the caller's quotes.
QString quoted(const QString& text);
// A stored text as a value in a statement: Null as Null, anything else quoted.
QString textLiteral(const QVariant& stored);
// "mm/dd/yyyy" for Jet's #...# date literal and CDate('...').
QString jetDate(const QDate& date);
// The same for a stored date, its time of day dropped; throws "Invalid use of Null" for
// Null and "Type mismatch" for anything that is not a date.
QString jetDate(const QVariant& stored);
// A stored date as a value in a statement, written by Jet's rules: a date as
// #mm/dd/yyyy# (or, with cdate, as CDate('mm/dd/yyyy')), Null as Null, and anything
// else another program put there as the quoted text it reads as, so a copy keeps it.
QString dateLiteral(const QVariant& stored, bool cdate = false);
// A number as SQL text that the database reads back as exactly this double: the
// shortest such text, "." for the decimal point, no grouping ("12345678901234.56",
// "0.1", "1e-07", "1.7976931348623157e+308"). A few numbers far below any amount
// (around 1e-300) that no decimal text reads back as are written as an exact product
// instead. Every number written into a statement goes through here. Throws "Overflow"
// for an infinity or NaN, which no ledger holds.
QString numberLiteral(double value);
// A stored amount as a number literal; Null as 0.
QString amount(const QVariant& stored);
// Any value as the connection gives it, as a literal that reads back as that value on
// either back end: Null, True/False, #mm/dd/yyyy# (with " hh:mm:ss" for a time of day),
// a number, or a quoted text.
QString valueLiteral(const QVariant& value);

} // namespace data::sql
