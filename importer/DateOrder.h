#pragma once

#include <QString>

namespace importer {

// The order of day, month and year in a statement's dates. Decided from every date of a
// file together, never row by row.
enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

// "day/month/year", "month/day/year", "year/month/day": what a user is asked to pick from.
inline QString dateOrderName(DateOrder order)
{
    switch (order) {
    case DateOrder::DayMonthYear: return QStringLiteral("day/month/year");
    case DateOrder::MonthDayYear: return QStringLiteral("month/day/year");
    case DateOrder::YearMonthDay: return QStringLiteral("year/month/day");
    }
    return {};
}

} // namespace importer
