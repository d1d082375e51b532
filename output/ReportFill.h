#pragma once
// The copy of the ledger into tblReport, the table the printed report reads: every
// transaction with its account's name, its amounts with Null as 0.

#include <QString>
#include <QVariant>
#include <functional>

namespace shell {
class ErrorTrap;
}

namespace output {

inline const QString kReportQuery = QStringLiteral("select * from tblReport");

// The insert of one transaction into tblReport: the stored date as CDate('mm/dd/yyyy'),
// the amounts as plain numbers, the texts with their quotes doubled. Every stored row
// has an insert: a Null date or text is copied as Null (a Null date prints empty), and
// a date another program stored as some other text is copied as that text. Throws
// "Overflow" for an amount that is not a finite number, which no statement could carry.
QString reportInsert(const QVariant& date, double deposit, double withdrawal, const QVariant& account,
                     const QVariant& description);

// Statements 110 to 126 of the report command, under the caller's trap: empties
// tblReport and copies the ledger into it, calling tick, when given, once a row.
//
// The copy is one transaction, committed once at the end, so a large ledger is copied
// in a moment rather than a durable write per row. Every transaction is copied, so the
// report's rows and totals are those of the main window's list and balance. A row the
// database refuses is reported at 122 and left out, and the others are still
// copied. Anything else that stops the copy short (the database
// refusing a write, such as a full disk, or a read that fails) is reported once and
// rolls the whole copy back, so tblReport keeps the last whole copy and is never left
// half filled. Answers whether tblReport now holds the whole copy.
bool fillReportTable(shell::ErrorTrap& trap, const std::function<void()>& tick = {});

} // namespace output
