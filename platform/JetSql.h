#pragma once
// Translation of the Jet SQL the windows send into SQLite SQL. A real tokenizer walks
// the text, so quotes, brackets and comments are never mistaken for syntax:
//   #mm/dd/yyyy#            -> '2021-03-05'        (Jet date literals are month first)
//   CDate('...'), cdate("...") with a literal -> the stored date text (a double-quoted
//                           text is read in the user's date format first)
//   --, /*                  -> - -, / *            (Jet has no comments)
//   "text"                  -> 'text'              (Jet strings may use double quotes)
//   [Name]                  -> "Name"
//   True/False, Yes/No      -> 1/0                 (whole words only, not names after a dot)
//   a & b                   -> a || b
//   ORDER BY x, y DESC      -> ORDER BY x COLLATE JETTEXT, y COLLATE JETTEXT DESC
//                              (text in Jet's order; numbers are not affected)
// First() and Last() stay as they are: the connection registers them as aggregates.

#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

namespace platform::jet {

// Throws DbError for an unterminated string, name or date literal, a date literal
// that names no date, or a parameter ("?", ":name", "@name", "$name"), which no
// statement here can be given a value for.
QString translate(const QString& jetSql);

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

} // namespace platform::jet
