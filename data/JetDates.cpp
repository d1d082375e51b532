#include "data/JetDates.h"

#include "platform/Conversions.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>

namespace platform::jet {

namespace {

int twoDigitYear(int yy) { return yy < 30 ? 2000 + yy : 1900 + yy; }

std::optional<QTime> parseTime(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    int h = m.captured(1).toInt();
    const QString ampm = m.captured(4).toUpper();
    if (!ampm.isEmpty()) {
        if (h < 1 || h > 12)
            return std::nullopt;
        h = (h % 12) + (ampm == u"PM" ? 12 : 0);
    }
    const QTime t(h, m.captured(2).toInt(), m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
    if (!t.isValid())
        return std::nullopt;
    return t;
}

std::optional<QVariant> dateWithTime(const QDate& date, const QString& timeText)
{
    if (!date.isValid())
        return std::nullopt;
    if (timeText.trimmed().isEmpty())
        return QVariant(date);
    const auto time = parseTime(timeText);
    if (!time)
        return std::nullopt;
    if (*time == QTime(0, 0))
        return QVariant(date);
    return QVariant(QDateTime(date, *time, Qt::UTC));
}

} // namespace

namespace {

// A run of 1 to maxDigits digits at i, as a number; -1 when there is none.
template <class Char>
int digitsAt(std::basic_string_view<Char> text, size_t& i, int maxDigits)
{
    int value = 0;
    int count = 0;
    for (; i < text.size() && count < maxDigits && text[i] >= Char('0') && text[i] <= Char('9'); ++i, ++count)
        value = value * 10 + (text[i] - Char('0'));
    return count > 0 ? value : -1;
}

// The two forms this program's own statements carry, month/day/year and
// year-month-day, read without the pattern engine: a report writes one per row. Read
// from the statement's own text or from its UTF-8 bytes alike.
template <class Char>
std::optional<QDate> plainDate(std::basic_string_view<Char> text)
{
    size_t i = 0;
    const int first = digitsAt(text, i, 4);
    if (first < 0 || i >= text.size() || (text[i] != Char('/') && text[i] != Char('-')))
        return std::nullopt;
    const Char separator = text[i];
    const bool iso = separator == Char('-');
    if ((iso && i != 4) || (!iso && i > 2))
        return std::nullopt;
    ++i;
    const int second = digitsAt(text, i, 2);
    if (second < 0 || i >= text.size() || text[i] != separator)
        return std::nullopt;
    const size_t yearStart = ++i;
    const int third = digitsAt(text, i, iso ? 2 : 4);
    if (third < 0 || i != text.size() || (!iso && i - yearStart != 4))
        return std::nullopt;
    const QDate date = iso ? QDate(first, second, third) : QDate(third, first, second);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> plainDate(const QString& text)
{
    return plainDate(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
}

} // namespace

std::optional<QVariant> parseLiteralDate(const QString& input)
{
    if (const auto date = plainDate(input))
        return QVariant(*date);
    const QString text = input.trimmed();
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(.*)$"));
    static const QRegularExpression us(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4}|\\d{2})(.*)$"));
    if (const auto m = iso.match(text); m.hasMatch()) {
        const QString rest = m.captured(4);
        if (!rest.isEmpty() && !rest[0].isSpace())
            return std::nullopt;
        return dateWithTime(QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()), rest);
    }
    if (const auto m = us.match(text); m.hasMatch()) {
        const QString rest = m.captured(4);
        if (!rest.isEmpty() && !rest[0].isSpace())
            return std::nullopt;
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year = twoDigitYear(year);
        return dateWithTime(QDate(year, m.captured(1).toInt(), m.captured(2).toInt()), rest);
    }
    return std::nullopt;
}

namespace {

// The patterns a locale's date format is read with: whole years first, and day and
// month also without their leading zero ("5.3.2021" as well as "05.03.2021").
QStringList readingPatterns(const QString& format)
{
    QStringList patterns;
    for (const QString& pattern : {wholeYearFormat(format), format}) {
        QString loose = pattern;
        loose.replace(QStringLiteral("dd"), QStringLiteral("d")).replace(QStringLiteral("MM"), QStringLiteral("M"));
        for (const QString& p : {pattern, loose})
            if (!patterns.contains(p))
                patterns << p;
    }
    return patterns;
}

std::optional<QVariant> localeDate(const QString& input, const QLocale& locale)
{
    const QString text = input.trimmed();
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        for (const QString& pattern : readingPatterns(locale.dateFormat(format))) {
            QDate date = locale.toDate(text, pattern);
            if (!date.isValid())
                continue;
            if (!pattern.contains(QStringLiteral("yyyy")))
                date = QDate(twoDigitYear(date.year() % 100), date.month(), date.day());
            if (date.isValid())
                return QVariant(date);
        }
    }
    for (const QString& pattern : readingPatterns(locale.dateTimeFormat(QLocale::ShortFormat))) {
        const QDateTime dateTime = locale.toDateTime(text, pattern);
        if (dateTime.isValid())
            return dateWithTime(dateTime.date(), dateTime.time().toString(QStringLiteral("HH:mm:ss")));
    }
    return std::nullopt;
}

} // namespace

std::optional<QVariant> parseCDate(const QString& input, const QLocale& locale)
{
    if (auto literal = parseLiteralDate(input))
        return literal;
    return localeDate(input, locale);
}

std::optional<QVariant> parseLocaleDate(const QString& input, const QLocale& locale)
{
    if (auto date = localeDate(input, locale))
        return date;
    return parseLiteralDate(input);
}

std::optional<QDate> readPlainDate(std::string_view text)
{
    return plainDate(text);
}

} // namespace platform::jet
