#pragma once
// How Jet reads a date: its #...# literals and CDate. Each back end's translation reads
// dates by these rules, so the same statement names the same day on a file and on a
// server.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>
#include <string_view>

namespace platform::jet {

// The date a Jet date literal's inner text names ("03/05/2021", "2021-03-05",
// optionally with a time): a QDate, or a QDateTime when a time other than midnight
// is given.
std::optional<QVariant> parseLiteralDate(const QString& text);

// The date CDate reads from a text: the literal forms above, then the locale's short
// and long date formats (two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999).
std::optional<QVariant> parseCDate(const QString& text, const QLocale& locale = QLocale());

// The same, but the locale's formats first: for date text written in the user's own
// short format, where "05/03/2021" means the fifth of March to a day-first user.
std::optional<QVariant> parseLocaleDate(const QString& text, const QLocale& locale = QLocale());

// The two forms this program's own statements carry, month/day/year and year-month-day
// without a time, read from UTF-8 text without the pattern engine.
std::optional<QDate> readPlainDate(std::string_view text);

} // namespace platform::jet
