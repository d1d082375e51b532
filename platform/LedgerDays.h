#pragma once
// The days a ledger keeps: those a Jet date literal (#mm/dd/yyyy#) names, the first of
// January of the year 100 to the last of December 9999. Both back ends hold every one of
// them (the file as "YYYY-MM-DD" text, the server as a timestamp) and the statements the
// program writes name them with four-digit years; a day outside cannot be written into a
// statement at all. Whatever brings dates in from outside (a statement file) checks them
// against this range, and whatever searches around a day stops at its ends.

#include <QDate>

namespace platform::stored {

inline const QDate kFirstLedgerDay(100, 1, 1);
inline const QDate kLastLedgerDay(9999, 12, 31);

inline bool isLedgerDay(const QDate& day)
{
    return day.isValid() && day >= kFirstLedgerDay && day <= kLastLedgerDay;
}

} // namespace platform::stored
