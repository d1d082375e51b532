#include "platform/Conversions.h"

#include "platform/AppError.h"

#include <QDateTime>
#include <cmath>
#include <cstdio>

namespace platform {

namespace {

AppError typeMismatch() { return AppError(QStringLiteral("Type mismatch")); }
AppError overflow() { return AppError(QStringLiteral("Overflow")); }

// %.15g, with the exponent written the way the user expects ("1E+15", "1E-05").
QString generalText(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    QString text = QString::fromLatin1(buffer);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        const QChar sign = exponent[0];
        exponent = exponent.mid(1);
        while (exponent.size() > 2 && exponent.startsWith(u'0'))
            exponent.remove(0, 1);
        text = mantissa + u'E' + sign + exponent;
    }
    return text;
}

// Banker's rounding to a whole number, as integer conversions do.
double roundHalfEven(double v)
{
    return std::nearbyint(v);
}

} // namespace

QString wholeYearFormat(QString format)
{
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

QString numberText(double value, const QLocale& locale)
{
    if (value == 0)
        return QStringLiteral("0");
    QString text = generalText(value);
    const QString decimal = locale.decimalPoint();
    if (decimal != u".")
        text.replace(u'.', decimal);
    return text;
}

QString shortDateFormat(const QLocale& locale)
{
    return wholeYearFormat(locale.dateFormat(QLocale::ShortFormat));
}

QString dateText(const QVariant& value, const QLocale& locale)
{
    QDate date;
    QTime time(0, 0);
    if (value.typeId() == QMetaType::QDateTime) {
        date = value.toDateTime().date();
        time = value.toDateTime().time();
    } else {
        date = value.toDate();
    }
    QString text = locale.toString(date, shortDateFormat(locale));
    if (time != QTime(0, 0))
        text += u' ' + locale.toString(time, QLocale::LongFormat);
    return text;
}

QString valueText(const QVariant& value, const QLocale& locale)
{
    if (!value.isValid() || value.isNull())
        throw AppError(QStringLiteral("Invalid use of Null"));
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(value.toDouble(), locale);
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return dateText(value, locale);
    default:
        return value.toString();
    }
}

QString valueText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return valueText(value, QLocale());
}

bool isPlainNumber(const QString& text)
{
    // Read by hand: the report checks two amounts a row with it.
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        return i - start;
    };
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype mantissa = digits();
    if (i < n && text[i] == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == n;
}

std::optional<double> parseNumber(const QString& input, const QLocale& locale)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    if (isPlainNumber(text)) {
        const double v = text.toDouble(&ok);
        if (ok && std::isfinite(v))
            return v;
    }
    const double v = locale.toDouble(text, &ok);
    if (ok && std::isfinite(v))
        return v;
    return std::nullopt;
}

bool isNumeric(const QString& text, const QLocale& locale)
{
    return parseNumber(text, locale).has_value();
}

double toDouble(const QVariant& value, const QLocale& locale)
{
    if (!value.isValid())
        throw AppError(QStringLiteral("Invalid use of Null"));
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Bool:
        return value.toDouble();
    default:
        if (auto v = parseNumber(value.toString(), locale))
            return *v;
        throw typeMismatch();
    }
}

double toDouble(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
        return value.toDouble();
    default:
        return toDouble(value, QLocale());
    }
}

float toSingle(const QString& text, const QLocale& locale)
{
    const auto v = parseNumber(text, locale);
    if (!v)
        throw typeMismatch();
    if (std::fabs(*v) > 3.402823466e38)
        throw overflow();
    return float(*v);
}

qint16 toInteger(const QString& text, const QLocale& locale)
{
    const auto v = parseNumber(text, locale);
    if (!v)
        throw typeMismatch();
    const double r = roundHalfEven(*v);
    if (r < -32768 || r > 32767)
        throw overflow();
    return qint16(r);
}

qint32 toLong(const QVariant& value, const QLocale& locale)
{
    const double r = roundHalfEven(toDouble(value, locale));
    if (r < -2147483648.0 || r > 2147483647.0)
        throw overflow();
    return qint32(r);
}

} // namespace platform
