#include "currency/AmountFormat.h"

#include "platform/Conversions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace currency {

namespace {

// The magnitude rounded to two decimals, as integer-part digits and two fraction digits.
struct Rounded {
    QString integer;
    QString fraction;
    bool zero;
};

Rounded roundToCents(double magnitude)
{
    // Fifteen significant digits, the precision a double carries reliably: what the
    // user typed, not the binary value's tail. (to_chars writes what printf's "%.14e"
    // would, many times faster: a list formats two amounts a row.)
    char buffer[40];
    *std::to_chars(buffer, buffer + sizeof buffer - 1, magnitude, std::chars_format::scientific, 14).ptr = '\0';
    QByteArray digits;
    digits.append(buffer[0]);
    digits.append(buffer + 2, 14);
    const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    int point = exponent + 1;   // digits before the decimal point
    if (point <= 0) {
        digits.prepend(QByteArray(-point + 1, '0'));
        point = 1;
    }
    const int keep = point + 2;
    if (digits.size() < keep + 1)
        digits.append(QByteArray(keep + 1 - digits.size(), '0'));
    const bool roundUp = digits[keep] >= '5';
    digits.truncate(keep);
    if (roundUp) {
        int i = keep - 1;
        for (; i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
        }
        if (i < 0) {
            digits.prepend('1');
            ++point;
        }
    }
    QByteArray integer = digits.left(point);
    while (integer.size() > 1 && integer[0] == '0')
        integer.remove(0, 1);
    const QByteArray fraction = digits.mid(point, 2);
    const bool zero = integer == "0" && fraction == "00";
    return {QString::fromLatin1(integer), QString::fromLatin1(fraction), zero};
}

QString grouped(const QString& integer, const QString& separator)
{
    QString out;
    const qsizetype n = integer.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += integer[i];
    }
    return out;
}

} // namespace

AmountAffixes amountAffixes(const QString& pattern)
{
    const qsizetype at = pattern.endsWith(kAmountPattern) ? pattern.size() - kAmountPattern.size()
                                                          : pattern.indexOf(kAmountPattern);
    if (at < 0)
        return {};
    return {pattern.left(at), pattern.mid(at + kAmountPattern.size())};
}

QString formatAmount(double value, const QString& pattern, const QLocale& locale)
{
    const auto [prefix, suffix] = amountAffixes(pattern);
    if (!std::isfinite(value))
        return prefix + platform::numberText(value, locale) + suffix;
    const Rounded r = roundToCents(std::fabs(value));
    QString text = prefix + grouped(r.integer, locale.groupSeparator()) + locale.decimalPoint() + r.fraction + suffix;
    if (value < 0 && !r.zero)
        text.prepend(u'-');
    return text;
}

QString formatAmount(const QVariant& value, const QString& pattern, const QLocale& locale)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text.isEmpty())
            return {};
        if (const auto number = platform::parseNumber(text, locale))
            return formatAmount(*number, pattern, locale);
        return text;
    }
    return formatAmount(platform::toDouble(value, locale), pattern, locale);
}

} // namespace currency
