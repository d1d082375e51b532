#include "importer/Amounts.h"

#include "importer/Statement.h"

#include <charconv>
#include <cmath>

namespace importer {

namespace {

bool isGroupingSpace(QChar c)
{
    return c == u' ' || c == u'\'' || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009);
}

bool isCurrencySign(QChar c)
{
    return c.category() == QChar::Symbol_Currency;
}

// Letters that may stand beside a number as its currency: a three-letter code.
QString withoutCurrencyCode(const QString& text)
{
    static const QStringList kCodes = {QStringLiteral("EUR"), QStringLiteral("USD"), QStringLiteral("GBP"),
                                       QStringLiteral("CHF"), QStringLiteral("CAD"), QStringLiteral("AUD"),
                                       QStringLiteral("SEK"), QStringLiteral("NOK"), QStringLiteral("DKK"),
                                       QStringLiteral("PLN"), QStringLiteral("CZK"), QStringLiteral("JPY")};
    QString t = text.trimmed();
    for (const QString& code : kCodes) {
        if (t.startsWith(code, Qt::CaseInsensitive))
            return t.mid(3).trimmed();
        if (t.endsWith(code, Qt::CaseInsensitive))
            return t.chopped(3).trimmed();
    }
    return t;
}

} // namespace

AmountResult parseAmount(const QString& text, QChar decimal)
{
    QString t = withoutCurrencyCode(text);
    if (t.isEmpty())
        return {std::nullopt, QStringLiteral("no amount")};
    const QString notAnAmount = QStringLiteral("the amount \"%1\" is not a number").arg(text.trimmed());
    bool negative = false;
    if (t.startsWith(u'(') && t.endsWith(u')')) {
        negative = true;
        t = t.mid(1).chopped(1);
    }
    qint64 units = 0;
    int fractionDigits = -1;   // -1: before the decimal separator
    int extra = 0;             // 1 when a digit past the cents is not a zero
    bool digits = false, sign = false, trailingSign = false;
    for (const QChar c : std::as_const(t)) {
        if (c.isDigit() && c.unicode() < 128) {
            if (trailingSign)
                return {std::nullopt, notAnAmount};
            const int d = c.unicode() - u'0';
            digits = true;
            if (fractionDigits < 0) {
                if (units > (kMaxCents / 100) / 10)
                    return {std::nullopt, QStringLiteral("the amount \"%1\" is too large").arg(text.trimmed())};
                units = units * 10 + d;
            } else if (fractionDigits < 2) {
                units = units * 10 + d;
                ++fractionDigits;
            } else {
                if (d != 0)
                    extra = 1;
            }
        } else if (c == decimal) {
            if (fractionDigits >= 0)
                return {std::nullopt, notAnAmount};
            fractionDigits = 0;
        } else if ((c == u',' || c == u'.' || isGroupingSpace(c)) && fractionDigits < 0) {
            continue;   // thousands
        } else if (c == u'-' || c == u'+' || c == QChar(0x2212)) {
            if (sign)
                return {std::nullopt, notAnAmount};
            sign = true;
            negative = negative != (c != u'+');
            trailingSign = digits;   // "12,00-"
        } else if (isCurrencySign(c) || c == u' ' || c == QChar(0x00A0)) {
            continue;
        } else {
            return {std::nullopt, notAnAmount};
        }
    }
    if (!digits)
        return {std::nullopt, notAnAmount};
    if (extra != 0)
        return {std::nullopt, QStringLiteral("the amount \"%1\" has fractions of a cent").arg(text.trimmed())};
    for (int f = std::max(fractionDigits, 0); f < 2; ++f)
        units *= 10;
    if (units >= kMaxCents)
        return {std::nullopt, QStringLiteral("the amount \"%1\" is too large").arg(text.trimmed())};
    return {negative ? -units : units, {}};
}

QChar decimalSeparatorOf(const QStringList& samples, QChar fallback)
{
    int comma = 0, point = 0;
    for (const QString& s : samples) {
        const qsizetype lastComma = s.lastIndexOf(u','), lastPoint = s.lastIndexOf(u'.');
        if (lastComma < 0 && lastPoint < 0)
            continue;
        if (lastComma >= 0 && lastPoint >= 0) {
            (lastComma > lastPoint ? comma : point)++;
            continue;
        }
        const QChar sep = lastComma >= 0 ? u',' : u'.';
        const qsizetype at = std::max(lastComma, lastPoint);
        if (s.count(sep) > 1) {   // "1.234.567": only thousands
            (sep == u',' ? point : comma)++;
            continue;
        }
        qsizetype after = 0;
        while (at + 1 + after < s.size() && s.at(at + 1 + after).isDigit())
            ++after;
        if (after != 3)
            (sep == u',' ? comma : point)++;
    }
    if (comma == point)
        return fallback;
    return comma > point ? u',' : u'.';
}

QString amountKeepingProblem(qint64 cents)
{
    const QByteArray written = centsText(cents).toLatin1();
    double value = 0;
    std::from_chars(written.cbegin(), written.cend(), value);   // the nearest double, as the database reads it
    const QString shown = QString::fromLatin1(written);
    if (std::fabs(value) >= 1e15)
        return QStringLiteral("the amount %1 is too large: the ledger keeps amounts under 1000000000000000").arg(shown);
    // The shortest text of that double against the decimal without its trailing zeros.
    char shortest[32];
    const auto end = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::fixed).ptr;
    QByteArray plain = written;
    while (plain.endsWith('0'))
        plain.chop(1);
    if (plain.endsWith('.'))
        plain.chop(1);
    if (plain == QByteArrayView(shortest, end - shortest))
        return {};
    char kept[32];
    const auto keptEnd = std::to_chars(kept, kept + sizeof kept, value, std::chars_format::fixed, 2).ptr;
    return QStringLiteral("the ledger would keep the amount %1 as %2 (an amount this large is kept to only about "
                          "16 digits)").arg(shown, QString::fromLatin1(kept, keptEnd - kept));
}

} // namespace importer
