#include "output/CellTypes.h"

#include "currency/AmountFormat.h"
#include "platform/Conversions.h"

#include <QDate>
#include <charconv>

namespace output {

namespace {

// A spreadsheet keeps 15 significant digits; a longer number would show other digits.
constexpr int kSignificantDigits = 15;

// Spreadsheet day numbers count from 1899-12-30. Before March 1900 they are off by the
// leap day 1900 never had, so earlier dates stay text.
const QDate kDayZero(1899, 12, 30);
const QDate kFirstDay(1900, 3, 1);
const QDate kLastDay(9999, 12, 31);

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

QString literalCode(const QString& text)
{
    // Quoted; a quote itself cannot stand inside quotes and is escaped on its own.
    QString code;
    bool open = false;
    for (const QChar c : text) {
        if (c == u'"') {
            if (open)
                code += u'"';
            open = false;
            code += QStringLiteral("\\\"");
        } else {
            if (!open)
                code += u'"';
            open = true;
            code += c;
        }
    }
    if (open)
        code += u'"';
    return code;
}

QString dateFormatCode(const QString& format)
{
    QString code;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted text is literal; two quotes stand for one, inside quotes or out.
            qsizetype end = i + 1;
            const bool quoted = !(end < format.size() && format[end] == u'\'');
            while (quoted && end < format.size()) {
                if (format[end] == u'\'') {
                    if (end + 1 >= format.size() || format[end + 1] != u'\'')
                        break;
                    ++end;
                }
                code += u'\\' + QString(format[end++]);
            }
            if (!quoted)
                code += QStringLiteral("\\'");
            i = end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == u'd' || c == u'M') {
            if (run > 2)
                return {};   // day and month names
            code += QString(run, c == u'd' ? u'd' : u'm');
        } else if (c == u'y') {
            if (run != 2 && run != 4)
                return {};
            code += QString(run, u'y');
        } else if (c.unicode() < 128 && c.isLetter()) {
            return {};       // times, time zones and the like
        } else {
            for (qsizetype k = 0; k < run; ++k)
                code += u'\\' + QString(c);
        }
        i += run;
    }
    return code;
}

CellTypes::CellTypes(const QString& amountPattern, const QLocale& locale)
    : m_pattern(amountPattern), m_locale(locale), m_group(locale.groupSeparator()),
      m_decimal(locale.decimalPoint()), m_dateFormat(platform::shortDateFormat(locale))
{
    const currency::AmountAffixes affixes = currency::amountAffixes(amountPattern);
    m_prefix = affixes.prefix;
    m_suffix = affixes.suffix;
    m_amountCode = literalCode(m_prefix) + currency::kAmountPattern + literalCode(m_suffix);
    // Dates in other digits than 0-9 would show differently in a spreadsheet.
    if (locale.zeroDigit() == QStringLiteral("0"))
        m_dateCode = dateFormatCode(m_dateFormat);
}

QString CellTypes::formatCode(CellKind kind) const
{
    switch (kind) {
    case CellKind::Number: return QStringLiteral("0");
    case CellKind::Date: return m_dateCode;
    case CellKind::Amount: return m_amountCode;
    case CellKind::Text: break;
    }
    return {};
}

std::optional<double> CellTypes::value(CellKind kind, const QString& text)
{
    switch (kind) {
    case CellKind::Number: return number(text);
    case CellKind::Date: return date(text);
    case CellKind::Amount: return amount(text);
    case CellKind::Text: break;
    }
    return std::nullopt;
}

std::optional<double> CellTypes::number(const QString& text) const
{
    // Whole numbers as the list writes them: no sign but minus, no leading zeros.
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    const qsizetype digits = text.size() - start;
    if (digits < 1 || digits > kSignificantDigits || (text[start] == u'0' && digits > 1))
        return std::nullopt;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (!isAsciiDigit(text[i]))
            return std::nullopt;
    }
    return double(text.toLongLong());
}

std::optional<double> CellTypes::amount(const QString& text) const
{
    // Exactly the form the list writes: the symbol around digits grouped in threes, no
    // leading zeros, two decimals, a minus sign first unless the amount shows as zero.
    // With at most 15 significant digits, such a text and the number it names turn into
    // each other unchanged.
    for (const bool negative : {false, true}) {
        QStringView rest(text);
        if (negative) {
            if (!rest.startsWith(u'-'))
                continue;
            rest = rest.mid(1);
        }
        if (rest.size() <= m_prefix.size() + m_suffix.size() || !rest.startsWith(m_prefix) || !rest.endsWith(m_suffix))
            continue;
        rest = rest.mid(m_prefix.size(), rest.size() - m_prefix.size() - m_suffix.size());
        if (rest.size() < m_decimal.size() + 3 || rest.sliced(rest.size() - 2 - m_decimal.size()).first(m_decimal.size()) != m_decimal)
            continue;
        const QStringView whole = rest.first(rest.size() - 2 - m_decimal.size());
        const QStringView cents = rest.last(2);
        char plain[kSignificantDigits + 1];   // the digits with "." before the cents
        int length = 0;
        bool valid = isAsciiDigit(cents[0]) && isAsciiDigit(cents[1]);
        auto take = [&](QStringView group, bool sized) {
            valid = valid && sized && length + group.size() <= kSignificantDigits - 2;
            for (qsizetype i = 0; valid && i < group.size(); ++i) {
                valid = isAsciiDigit(group[i]);
                plain[length++] = char(group[i].unicode());
            }
        };
        if (m_group.isEmpty()) {
            take(whole, true);
        } else {
            bool first = true;
            for (const QStringView group : whole.tokenize(m_group)) {
                take(group, first ? group.size() >= 1 && group.size() <= 3 : group.size() == 3);
                first = false;
            }
        }
        if (!valid || length == 0 || (length > 1 && plain[0] == '0'))
            continue;
        if (negative && length == 1 && plain[0] == '0' && cents == u"00")
            continue;
        plain[length++] = '.';
        plain[length++] = char(cents[0].unicode());
        plain[length++] = char(cents[1].unicode());
        double magnitude = 0;   // from_chars, unlike strtod, reads "." whatever the C locale
        std::from_chars(plain, plain + length, magnitude);
        const double value = negative ? -magnitude : magnitude;
        Q_ASSERT(currency::formatAmount(value, m_pattern, m_locale) == text);
        return value;
    }
    return std::nullopt;
}

std::optional<double> CellTypes::date(const QString& text)
{
    if (m_dateCode.isEmpty())
        return std::nullopt;
    if (const auto known = m_dates.constFind(text); known != m_dates.constEnd())
        return *known;
    std::optional<double> day;
    const QDate parsed = m_locale.toDate(text, m_dateFormat);
    if (parsed.isValid() && parsed >= kFirstDay && parsed <= kLastDay && m_locale.toString(parsed, m_dateFormat) == text)
        day = double(kDayZero.daysTo(parsed));
    m_dates.insert(text, day);
    return day;
}

} // namespace output
