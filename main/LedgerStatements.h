#pragma once
// SQL text the main window's commands send, built by the literal rules: quotes
// doubled in text, dates as Jet literals, amounts as plain numbers.

#include "data/Connection.h"

#include <QDate>
#include <QString>

namespace mainwindow::statements {

// The list's own query is data::kLedgerQuery, which the printed report reads too.

QString deleteTransaction(const QString& number);
QString selectTransaction(const QString& number);
// The copy of the record rs stands on: same date, description, account, amounts
// (Null as 0) and taxable flag. Throws when a value cannot be written (a Null
// description or date), so nothing half-built is sent.
QString duplicateInsert(const data::Recordset& rs);

// The example data's look-ups and accounts: the number of accounts (as "CountID"),
// the first or last AccountID in stored order (aggregate "First" or "Last", as
// "MaxID"), and an account of a fixed name, written as it stands.
QString countAccounts();
QString sampleAccountId(const char* aggregate);
QString insertSampleAccount(const char* name);
// One example transaction, dated with dateText handed to the database's cdate.
QString sampleInsert(const QString& dateText, const QString& description, qint32 account, int withdrawal,
                     int deposit);
// Today's date as the example transactions carry it: the user's short date, unless the
// database would not read that text back as the same day, in which case the
// unambiguous year-month-day form.
QString sampleDateText(const QDate& today);

} // namespace mainwindow::statements
