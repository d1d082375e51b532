#include "main/FindQuery.h"

#include "platform/Conversions.h"

#include <QDate>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace mainwindow {

namespace {

// Every UTF-16 unit's folded form, worked out once: case folded, then reduced to its
// base letter when it carries an accent. Typing must stay fast over a million rows,
// so folding is one table look-up a character.
const std::array<char16_t, 65536>& foldTable()
{
    static std::array<char16_t, 65536> t{};
    static const bool built = [] {
        for (int c = 0; c < 65536; ++c) {
            QChar ch{char16_t(c)};
            if (c < 128) {
                t[c] = (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : char16_t(c);
                continue;
            }
            if (ch.isSurrogate()) {
                t[c] = char16_t(c);
                continue;
            }
            if (ch.decompositionTag() == QChar::Canonical) {
                const QString parts = ch.decomposition();
                if (!parts.isEmpty() && !parts.at(0).isSurrogate())
                    ch = parts.at(0);
            }
            ch = ch.toCaseFolded();
            // A base letter may itself decompose further (a letter with two accents).
            while (ch.decompositionTag() == QChar::Canonical && !ch.decomposition().isEmpty()
                   && ch.decomposition().at(0) != ch)
                ch = ch.decomposition().at(0).toCaseFolded();
            t[c] = ch.unicode();
        }
        return true;
    }();
    Q_UNUSED(built);
    return t;
}

inline char16_t folded(const std::array<char16_t, 65536>& table, char16_t c)
{
    return table[c];
}

constexpr qint64 kFirstDay = std::numeric_limits<qint64>::min() / 2;
constexpr qint64 kLastDay = std::numeric_limits<qint64>::max() / 2;

struct Period {
    qint64 first, last;
};

struct Token {
    QString text;
    bool quoted = false;
    bool exclude = false;   // a "-" in front, outside any quotes
};

std::vector<Token> tokens(const QString& text)
{
    std::vector<Token> out;
    Token current;
    bool inQuote = false, started = false;
    for (const QChar c : text) {
        if (c == u'"') {
            inQuote = !inQuote;
            current.quoted = started = true;
        } else if (c.isSpace() && !inQuote) {
            if (started)
                out.push_back(std::exchange(current, {}));
            started = false;
        } else if (c == u'-' && !started && !inQuote) {
            current.exclude = started = true;
        } else {
            current.text += c;
            started = true;
        }
    }
    if (started)
        out.push_back(current);
    return out;
}

bool isYear(QStringView text)
{
    return text.size() == 4 && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); })
        && text[0] != u'0';
}

// An amount as typed: digits with the locale's or a plain decimal point and group
// separators. Exponents, "inf" and the like are words.
std::optional<double> amount(const QString& text, const QLocale& locale)
{
    if (text.isEmpty())
        return std::nullopt;
    bool digit = false;
    for (const QChar c : text) {
        if (c.isDigit())
            digit = true;
        else if (c != u'.' && c != u',' && c != locale.decimalPoint().at(0) && c != locale.groupSeparator().at(0))
            return std::nullopt;
    }
    if (!digit)
        return std::nullopt;
    bool ok = false;
    double value = locale.toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

Period dayPeriod(const QDate& date)
{
    return {date.toJulianDay(), date.toJulianDay()};
}

Period monthPeriod(int year, int month)
{
    const QDate first(year, month, 1);
    return {first.toJulianDay(), first.addMonths(1).toJulianDay() - 1};
}

// The month a name stands for ("Mar", "march", "März" in a German locale), 0 for none.
int monthNumber(const QString& text, const QLocale& locale)
{
    QString name = FindQuery::fold(text);
    if (name.endsWith(u'.'))
        name.chop(1);
    if (name.size() < 3)
        return 0;
    for (const QLocale& l : {locale, QLocale::c()}) {
        for (int m = 1; m <= 12; ++m) {
            for (const QString& candidate : {l.monthName(m, QLocale::LongFormat), l.monthName(m, QLocale::ShortFormat),
                                             l.standaloneMonthName(m, QLocale::LongFormat),
                                             l.standaloneMonthName(m, QLocale::ShortFormat)}) {
                QString f = FindQuery::fold(candidate);
                if (f.endsWith(u'.'))
                    f.chop(1);
                if (!f.isEmpty() && f == name)
                    return m;
            }
        }
    }
    return 0;
}

// A day (the short date format, or "2025-03-15"), a month ("2025-03") or, with
// yearAlone, a year ("2025"). Four digits alone are also an amount, so where an amount
// would fit too (a comparison, a range) they are read as a year only when asked.
std::optional<Period> period(const QString& text, const QLocale& locale, bool yearAlone)
{
    if (isYear(text)) {
        if (!yearAlone)
            return std::nullopt;
        const int year = text.toInt();
        return Period{QDate(year, 1, 1).toJulianDay(), QDate(year, 12, 31).toJulianDay()};
    }
    if (text.size() == 7 && text[4] == u'-' && isYear(QStringView(text).left(4))) {
        bool ok = false;
        const int month = QStringView(text).mid(5).toInt(&ok);
        if (ok && text[5].isDigit() && month >= 1 && month <= 12)
            return monthPeriod(QStringView(text).left(4).toInt(), month);
        return std::nullopt;
    }
    if (!std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    if (const QDate iso = QDate::fromString(text, Qt::ISODate); iso.isValid() && text.size() == 10)
        return dayPeriod(iso);
    // Two-digit years as the ledger's dates read them: 00 to 29 this century, 30 to 99
    // the last.
    const auto windowed = [](QDate date) {
        const int year = date.year() % 100;
        return QDate(year < 30 ? 2000 + year : 1900 + year, date.month(), date.day());
    };
    if (const QDate whole = locale.toDate(text, platform::shortDateFormat(locale)); whole.isValid())
        return dayPeriod(whole.year() < 100 ? windowed(whole) : whole);
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    if (const QDate two = locale.toDate(text, shortFormat); two.isValid())
        return dayPeriod(shortFormat.contains(QStringLiteral("yyyy")) ? two : windowed(two));
    return std::nullopt;
}

// A comparison: the bound on its own, then widened to what the operator asks. A number
// is an amount (">1000" means more than a thousand, not after the year 1000); a date
// needs a date form (">2025-03", ">3/1/2025"), or datesOnly ("date:>2025").
std::optional<FindQuery::Term> comparison(const QString& op, const QString& rest, const QLocale& locale,
                                          bool datesOnly)
{
    using Term = FindQuery::Term;
    Term term;
    const auto days = period(rest, locale, datesOnly);
    const auto value = datesOnly ? std::nullopt : amount(rest, locale);
    if (!value && !days)
        return std::nullopt;
    const bool greater = op[0] == u'>', less = op[0] == u'<', strict = op.size() == 1 && op[0] != u'=';
    if (value) {
        term.kinds |= Term::Amount;
        if (!less)
            term.low = *value, term.lowOpen = strict;
        if (!greater)
            term.high = *value, term.highOpen = strict;
    }
    if (days) {
        term.kinds |= Term::Date;
        term.firstDay = less ? kFirstDay : (greater && strict ? days->last + 1 : days->first);
        term.lastDay = greater ? kLastDay : (less && strict ? days->first - 1 : days->last);
    }
    return term;
}

// A range "from..to", either end open. Numbers are amounts ("1000..2000"); a date form
// at either end makes it a range of dates, where four digits at the other end are a
// year ("2025-01..2025").
std::optional<FindQuery::Term> range(const QString& from, const QString& to, const QLocale& locale, bool datesOnly)
{
    using Term = FindQuery::Term;
    Term term;
    if (from.isEmpty() && to.isEmpty())
        return std::nullopt;
    if (!datesOnly) {
        const auto low = amount(from, locale), high = amount(to, locale);
        if ((low || from.isEmpty()) && (high || to.isEmpty())) {
            term.kinds |= Term::Amount;
            if (low)
                term.low = *low;
            if (high)
                term.high = *high;
        }
    }
    const bool years = datesOnly || period(from, locale, false) || period(to, locale, false);
    const auto first = period(from, locale, years), last = period(to, locale, years);
    if ((first || from.isEmpty()) && (last || to.isEmpty()) && years) {
        term.kinds |= Term::Date;
        term.firstDay = first ? first->first : kFirstDay;
        term.lastDay = last ? last->last : kLastDay;
    }
    if (term.kinds == 0)
        return std::nullopt;
    return term;
}

// Reads a term that is not a word: a comparison, a range, an amount or a period; with
// datesOnly (after "date:") only the date readings.
std::optional<FindQuery::Term> valueTerm(const QString& text, const QLocale& locale, bool datesOnly)
{
    using Term = FindQuery::Term;
    for (const QString& op : {QStringLiteral(">="), QStringLiteral("<="), QStringLiteral(">"), QStringLiteral("<"),
                             QStringLiteral("=")}) {
        if (text.startsWith(op))
            return comparison(op, text.mid(op.size()), locale, datesOnly);
    }
    if (const qsizetype dots = text.indexOf(QStringLiteral("..")); dots >= 0)
        return range(text.left(dots), text.mid(dots + 2), locale, datesOnly);
    Term term;
    if (const auto value = datesOnly ? std::nullopt : amount(text, locale)) {
        // A number alone may also be part of a description ("invoice 1042").
        term.kinds |= Term::Amount | Term::Word;
        term.folded = FindQuery::fold(text);
        term.low = term.high = *value;
    }
    if (const auto days = period(text, locale, true)) {
        term.kinds |= Term::Date;
        term.firstDay = days->first;
        term.lastDay = days->last;
    }
    if (term.kinds == 0)
        return std::nullopt;
    return term;
}

std::optional<bool> yesOrNo(const QString& text)
{
    const QString t = text.toLower();
    if (t == u"yes" || t == u"y" || t == u"true" || t == u"1")
        return true;
    if (t == u"no" || t == u"n" || t == u"false" || t == u"0")
        return false;
    return std::nullopt;
}

bool inAmount(const FindQuery::Term& t, double value)
{
    if (value == 0 || !std::isfinite(value))
        return false;   // an empty cell holds no amount
    // Typed amounts have a few decimals; stored ones may carry a binary rounding error.
    const double slack = 1e-9 * std::max(1.0, std::abs(value));
    const bool aboveLow = t.lowOpen ? value > t.low + slack : value >= t.low - slack;
    const bool belowHigh = t.highOpen ? value < t.high - slack : value <= t.high + slack;
    return aboveLow && belowHigh;
}

} // namespace

QString FindQuery::fold(QStringView text)
{
    const auto& table = foldTable();
    QString out(text.size(), Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    for (const QChar c : text)
        *to++ = folded(table, c.unicode());
    return out;
}

bool FindQuery::containsFolded(QStringView text, QStringView needle)
{
    const qsizetype n = needle.size();
    if (n == 0)
        return true;
    const qsizetype last = text.size() - n;
    if (last < 0)
        return false;
    const auto& table = foldTable();
    const char16_t* hay = reinterpret_cast<const char16_t*>(text.data());
    const char16_t* pin = reinterpret_cast<const char16_t*>(needle.data());
    const char16_t first = pin[0];
    for (qsizetype i = 0; i <= last; ++i) {
        if (folded(table, hay[i]) != first)
            continue;
        qsizetype j = 1;
        while (j < n && folded(table, hay[i + j]) == pin[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}

FindQuery FindQuery::parse(const QString& text, const QLocale& locale)
{
    FindQuery query;
    const std::vector<Token> parts = tokens(text);
    for (size_t i = 0; i < parts.size() && int(query.m_terms.size()) < kMaxTerms; ++i) {
        QString word = parts[i].text;
        const bool quoted = parts[i].quoted;
        Term term;
        term.exclude = parts[i].exclude;
        if (word.isEmpty()) {
            if (!term.exclude)
                continue;   // ""
            word = QStringLiteral("-");   // a dash alone is a word
            term.exclude = false;
        }
        const Term plain = term;
        if (const qsizetype colon = word.indexOf(u':'); colon > 0) {
            const QString key = word.left(colon).toLower(), value = word.mid(colon + 1);
            if (key == u"account" && !value.isEmpty()) {
                term.kinds = Term::Account;
                term.folded = fold(value);
            } else if (key == u"date") {
                if (const auto dates = valueTerm(value, locale, true)) {
                    term = *dates;
                    term.exclude = plain.exclude;
                }
            } else if (key == u"taxable") {
                if (const auto yes = yesOrNo(value)) {
                    term.kinds = Term::Taxable;
                    term.taxable = *yes;
                }
            }
        }
        if (term.kinds == 0 && !quoted) {
            if (const int month = monthNumber(word, locale); month > 0 && i + 1 < parts.size()
                                                               && isYear(parts[i + 1].text)) {
                const Period p = monthPeriod(parts[i + 1].text.toInt(), month);
                term.kinds = Term::Date;
                term.firstDay = p.first;
                term.lastDay = p.last;
                ++i;
            } else if (const auto value = valueTerm(word, locale, false)) {
                term = *value;
                term.exclude = plain.exclude;
            }
        }
        if (term.kinds == 0) {
            term.kinds = Term::Word;
            term.folded = fold(word);
        }
        query.m_terms.push_back(term);
    }
    return query;
}

quint64 FindQuery::accountHits(QStringView account) const
{
    quint64 hits = 0;
    for (size_t i = 0; i < m_terms.size(); ++i) {
        const Term& t = m_terms[i];
        if ((t.kinds & (Term::Word | Term::Account)) && containsFolded(account, t.folded))
            hits |= quint64(1) << i;
    }
    return hits;
}

bool FindQuery::matches(const FindRow& row, quint64 accountHits) const
{
    for (size_t i = 0; i < m_terms.size(); ++i) {
        const Term& t = m_terms[i];
        bool hit = (accountHits >> i) & 1;
        if (!hit && (t.kinds & Term::Word))
            hit = containsFolded(row.description, t.folded);
        if (!hit && (t.kinds & Term::Amount))
            hit = inAmount(t, row.withdrawal) || inAmount(t, row.deposit);
        if (!hit && (t.kinds & Term::Date))
            hit = row.day != FindRow::kNoDay && row.day >= t.firstDay && row.day <= t.lastDay;
        if (!hit && (t.kinds & Term::Taxable))
            hit = row.taxable == t.taxable;
        if (hit == t.exclude)
            return false;
    }
    return true;
}

bool FindQuery::narrows(const FindQuery& wider) const
{
    if (wider.m_terms.size() > m_terms.size())
        return false;
    for (size_t i = 0; i < wider.m_terms.size(); ++i) {
        const Term& mine = m_terms[i];
        const Term& theirs = wider.m_terms[i];
        if (mine == theirs)
            continue;
        // A longer word, or account name, matches fewer rows than its beginning did.
        const bool textOnly = (mine.kinds == Term::Word || mine.kinds == Term::Account) && mine.kinds == theirs.kinds;
        if (!textOnly || mine.exclude || theirs.exclude || !mine.folded.contains(theirs.folded))
            return false;
    }
    return true;
}

} // namespace mainwindow
