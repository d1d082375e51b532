#pragma once
// The default conversions between values and text that the windows rely on: numbers
// and dates shown without a pattern, and reading numbers the user or a setting typed.
// Every function takes the locale explicitly, defaulting to the user's.

#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

namespace platform {

// A number as plain text: up to 15 significant digits, no grouping, no trailing zeros,
// the locale's decimal separator ("0", "1234.5", "-12"; "1E+15" past 15 digits).
QString numberText(double value, const QLocale& locale = QLocale());

// A date format with a two-digit year widened to four digits ("M/d/yy" gives
// "M/d/yyyy"): dates are shown and read with whole years, never a guessed century.
QString wholeYearFormat(QString format);
// The user's short date format with whole years ("M/d/yyyy"), as dates are shown.
QString shortDateFormat(const QLocale& locale = QLocale());
// A date in shortDateFormat(), with the time of day in the long time format appended
// when it is not midnight.
QString dateText(const QVariant& date, const QLocale& locale = QLocale());

// Any stored value as text. Null cannot be turned into text: throws "Invalid use of Null".
// (The overload without a locale reads the user's only when a number or date needs it:
// list reloads call it for every cell.)
QString valueText(const QVariant& value, const QLocale& locale);
QString valueText(const QVariant& value);

// A plain SQL number: optional sign, digits with an optional "." fraction, optional
// exponent. No grouping, no currency, no spaces.
bool isPlainNumber(const QString& text);

// The number a text names: a plain number first, then the locale's own form (with its
// grouping and decimal separators). nullopt when it names none; the empty text names none.
std::optional<double> parseNumber(const QString& text, const QLocale& locale = QLocale());
bool isNumeric(const QString& text, const QLocale& locale = QLocale());

// Conversions that fail with the application error "Type mismatch" ("Overflow" when
// the number does not fit).
double toDouble(const QVariant& value, const QLocale& locale);
double toDouble(const QVariant& value);
float toSingle(const QString& text, const QLocale& locale = QLocale());
qint16 toInteger(const QString& text, const QLocale& locale = QLocale());
qint32 toLong(const QVariant& value, const QLocale& locale = QLocale());

} // namespace platform
