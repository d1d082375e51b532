#include "importer/Dates.h"

#include <array>

namespace importer {

namespace {

constexpr std::array<DateOrder, 3> kOrders = {DateOrder::DayMonthYear, DateOrder::MonthDayYear,
                                              DateOrder::YearMonthDay};

// Month names and their usual abbreviations in English, German and French.
int monthFromName(const QString& word)
{
    static const std::array<QStringList, 12> kNames = {{
        {"jan", "januar", "janv", "janvier", "january", "jän", "jaen"},
        {"feb", "februar", "fev", "fevr", "février", "fevrier", "févr", "february"},
        {"mar", "mär", "maerz", "märz", "mars", "march", "mrz"},
        {"apr", "april", "avr", "avril"},
        {"may", "mai"},
        {"jun", "juni", "juin", "june"},
        {"jul", "juli", "juil", "juillet", "july"},
        {"aug", "august", "aoû", "aout", "août"},
        {"sep", "sept", "september", "septembre"},
        {"oct", "okt", "oktober", "october", "octobre"},
        {"nov", "november", "novembre"},
        {"dec", "dez", "dezember", "december", "déc", "décembre", "decembre"},
    }};
    const QString w = word.toLower();
    for (int m = 0; m < 12; ++m)
        if (kNames[m].contains(w))
            return m + 1;
    return 0;
}

int fullYear(int year, int digits, bool apostrophe)
{
    if (digits > 2)
        return year;
    if (apostrophe)
        return 2000 + year;
    return year < 70 ? 2000 + year : 1900 + year;   // statements are this century or the last
}

} // namespace

DateParts splitDate(const QString& input)
{
    DateParts parts;
    QString text = input.trimmed();
    // A time after the date ("31.01.2024 14:05", "2024-01-31T14:05:00") is not part of it.
    if (const qsizetype t = text.indexOf(u'T'); t == 10 && text.size() > 10 && text.at(t + 1).isDigit())
        text.truncate(t);
    if (const qsizetype colon = text.indexOf(u':'); colon > 0) {
        const qsizetype space = text.lastIndexOf(u' ', colon);
        if (space > 0)
            text.truncate(space);
    }
    if (text.size() == 8 && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); })) {
        parts.first = text.left(4).toInt();
        parts.second = text.mid(4, 2).toInt();
        parts.third = text.mid(6, 2).toInt();
        parts.firstDigits = 4;
        parts.thirdDigits = 2;
        parts.valid = true;
        return parts;
    }
    QList<QString> fields;
    QString current;
    bool currentIsDigits = true;
    auto flush = [&] {
        if (!current.isEmpty())
            fields.append(current);
        current.clear();
    };
    for (const QChar c : std::as_const(text)) {
        const bool digit = c.isDigit() && c.unicode() < 128;
        if (digit || c.isLetter()) {
            if (!current.isEmpty() && digit != currentIsDigits)
                flush();
            current.append(c);
            currentIsDigits = digit;
        } else if (c == u'/' || c == u'.' || c == u'-' || c == u' ' || c == u',' || c == u'\'') {
            flush();
            if (c == u'\'' && fields.size() == 2)
                parts.apostropheYear = true;
        } else {
            return parts;
        }
    }
    flush();
    if (fields.size() != 3)
        return parts;
    std::array<int, 3> values{};
    for (int i = 0; i < 3; ++i) {
        const QString& f = fields.at(i);
        if (f.at(0).isDigit()) {
            if (f.size() > 4)
                return parts;
            values[i] = f.toInt();
        } else {
            const int month = monthFromName(f);
            if (month == 0 || parts.month != 0)
                return parts;
            parts.month = month;
            parts.monthField = i + 1;
            values[i] = month;
        }
    }
    parts.first = values[0];
    parts.second = values[1];
    parts.third = values[2];
    // A month name stands where two digits would.
    parts.firstDigits = parts.monthField == 1 ? 2 : int(fields.at(0).size());
    parts.thirdDigits = parts.monthField == 3 ? 2 : int(fields.at(2).size());
    parts.valid = true;
    return parts;
}

QDate dateIn(const DateParts& p, DateOrder order)
{
    if (!p.valid)
        return {};
    int y = 0, m = 0, d = 0;
    switch (order) {
    case DateOrder::DayMonthYear:
        if (p.firstDigits > 2 || p.thirdDigits == 1 || p.thirdDigits == 3 || (p.month && p.monthField != 2))
            return {};
        d = p.first, m = p.second, y = fullYear(p.third, p.thirdDigits, p.apostropheYear);
        break;
    case DateOrder::MonthDayYear:
        if (p.firstDigits > 2 || p.thirdDigits == 1 || p.thirdDigits == 3 || (p.month && p.monthField != 1))
            return {};
        m = p.first, d = p.second, y = fullYear(p.third, p.thirdDigits, p.apostropheYear);
        break;
    case DateOrder::YearMonthDay:
        if (p.firstDigits != 4 || p.thirdDigits > 2 || (p.month && p.monthField != 2))
            return {};
        y = p.first, m = p.second, d = p.third;
        break;
    }
    return QDate(y, m, d);   // invalid for 31/02 and for a month 13
}

DateOrderChoice chooseDateOrder(const QList<QString>& texts)
{
    std::array<qsizetype, 3> fits{};
    qsizetype readable = 0;
    for (const QString& text : texts) {
        const DateParts parts = splitDate(text);
        std::array<bool, 3> ok{};
        bool any = false;
        for (size_t i = 0; i < kOrders.size(); ++i)
            any |= ok[i] = dateIn(parts, kOrders[i]).isValid();
        if (!any)
            continue;
        ++readable;
        for (size_t i = 0; i < kOrders.size(); ++i)
            fits[i] += ok[i];
    }
    DateOrderChoice choice;
    size_t best = 0;
    for (size_t i = 0; i < kOrders.size(); ++i) {
        if (readable > 0 && fits[i] == readable)
            choice.fitting.append(kOrders[i]);
        if (fits[i] > fits[best])
            best = i;
    }
    choice.chosen = choice.fitting.isEmpty() ? kOrders[best] : choice.fitting.first();
    return choice;
}

QString dateProblem(const QString& text, DateOrder order)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QStringLiteral("no date");
    const DateParts parts = splitDate(t);
    if (!parts.valid)
        return QStringLiteral("\"%1\" is not a date").arg(t);
    for (const DateOrder other : kOrders)
        if (dateIn(parts, other).isValid())
            return QStringLiteral("the date \"%1\" is not written %2 like the file's other dates")
                .arg(t, dateOrderName(order));
    return QStringLiteral("the date \"%1\" is not a day of the calendar").arg(t);
}

} // namespace importer
