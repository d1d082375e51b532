#pragma once
// Reading the dates statements write by hand-made rules ("31.01.2024", "1/2'05",
// "2024-01-31", "01-31-24", "20240131", "31 Jan 2024"), with the order of day and month
// decided for a whole file at once: a file whose every date reads both ways is ambiguous,
// and only the user can say which it is.

#include "importer/DateOrder.h"

#include <QDate>
#include <QList>
#include <QString>

namespace importer {

// A date text split into its three fields, before the order is known.
struct DateParts {
    int first = 0, second = 0, third = 0;
    int firstDigits = 0, thirdDigits = 0;   // how many digits the outer fields had
    int month = 0;           // 1..12 when the month was written as a name, else 0
    int monthField = 0;      // which field (1..3) the name stood in
    bool apostropheYear = false;   // Quicken's "1/2'05": the year is in 2000s
    bool valid = false;      // false: no three fields in this text
};

DateParts splitDate(const QString& text);

// The date `parts` name in `order`; invalid when that order gives no calendar day
// ("31/02/2024") or does not fit the fields (a four-digit first field is a year).
QDate dateIn(const DateParts& parts, DateOrder order);

// What a whole file's dates say about the order.
struct DateOrderChoice {
    QList<DateOrder> fitting;   // every order that reads all of the dates that read at all
    DateOrder chosen = DateOrder::DayMonthYear;   // the first fitting, else the one reading most
};

// `texts` are every date of one file. Dates no order can read (empty, "31/02/2024") do not
// take part: they make their own rows unreadable whatever the order.
DateOrderChoice chooseDateOrder(const QList<QString>& texts);

// Why `text` is not a date in `order`, for the row's reason.
QString dateProblem(const QString& text, DateOrder order);

} // namespace importer
