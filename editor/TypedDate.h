#pragma once
// A date as the user types it: the short date form of the locale, always with the
// whole year, and one or two digits for the month and the day ("1/5/2026" and
// "01/05/2026" alike in the United States, "5.1.2026" in Germany). Anything else is no
// date, and is refused with a reason rather than read as something near it.

#include <QDate>
#include <QLocale>
#include <QString>

namespace editor {

// The first and last dates a transaction can have.
inline const QDate kFirstDate(1601, 1, 1);
inline const QDate kLastDate(9999, 12, 31);

// The form dates are shown and typed in ("M/d/yyyy", "dd.MM.yyyy").
QString dateFormat(const QLocale& locale = QLocale());

// The same form as a person reads it in a hint: "M/D/YYYY", "DD.MM.YYYY".
QString dateFormatHint(const QLocale& locale = QLocale());

// The date `text` names, leading and trailing blanks aside; an invalid QDate when it
// names none or one outside kFirstDate..kLastDate.
QDate typedDate(const QString& text, const QLocale& locale = QLocale());

// Why `text` cannot be taken as a date, "" when it can.
QString dateRefusal(const QString& text, const QLocale& locale = QLocale());

} // namespace editor
