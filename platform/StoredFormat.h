#pragma once
// How values are kept in the ledger file. This is a stored format: a file written by
// one version must open in the next, so change it only by adding.
//
//   Accounts.AccountID, Transactions.TransactionNumber  INTEGER PRIMARY KEY AUTOINCREMENT
//   dates (Transactions.TransactionDate, tblReport.Date) TEXT "YYYY-MM-DD", with
//                                                      " HH:MM:SS" only when a time is set
//   amounts                                            REAL, or NULL
//   Transactions.Taxable                               INTEGER 1 or 0 (NULL reads as false)
//   names and descriptions                             TEXT, UTF-8
//
// The schema itself lives in data/schema.sql, from which the template is built.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

namespace platform::stored {

enum class ColumnKind { Plain, Date, YesNo };

// The kind of a table's column, by the names SQLite reports as its origin.
ColumnKind kindOf(const char* table, const char* column);

// Date text as stored.
QString dateText(const QDate& date);
QString dateTimeText(const QDateTime& dateTime);

// Reads stored date text: a QDate without time of day, a QDateTime with one; nullopt
// when the text is not in the stored form.
std::optional<QVariant> parseDateText(const char* utf8, int length);

} // namespace platform::stored
