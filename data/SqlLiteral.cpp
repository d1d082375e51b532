#include "data/SqlLiteral.h"

#include "platform/AppError.h"
#include "platform/Conversions.h"
#include "data/sqlite/Database.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <cstdio>

namespace data::sql {

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    if (out.contains(QChar(0)))
        out.replace(QChar(0), QStringLiteral("'&Chr(0)&'"));
    return out;
}

QString textLiteral(const QVariant& stored)
{
    if (!stored.isValid())
        return QStringLiteral("Null");
    return u'\'' + quoted(platform::valueText(stored)) + u'\'';
}

QString jetDate(const QDate& date)
{
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (year < 1 || year > 9999)
        return date.toString(QStringLiteral("MM/dd/yyyy"));
    // Spelled out digit by digit: a report writes one for every transaction it copies.
    QChar text[10];
    auto two = [](QChar* at, int value) {
        at[0] = QChar(u'0' + value / 10);
        at[1] = QChar(u'0' + value % 10);
    };
    two(text, month);
    text[2] = u'/';
    two(text + 3, day);
    text[5] = u'/';
    for (int i = 9; i >= 6; --i, year /= 10)
        text[i] = QChar(u'0' + year % 10);
    return QString(text, 10);
}

QString jetDate(const QVariant& stored)
{
    if (stored.typeId() == QMetaType::QDate)
        return jetDate(stored.toDate());
    if (stored.typeId() == QMetaType::QDateTime)
        return jetDate(stored.toDateTime().date());
    throw platform::AppError(stored.isValid() ? QStringLiteral("Type mismatch") : QStringLiteral("Invalid use of Null"));
}

QString dateLiteral(const QVariant& stored, bool cdate)
{
    if (stored.typeId() == QMetaType::QDate || stored.typeId() == QMetaType::QDateTime)
        return cdate ? QStringLiteral("CDate('") + jetDate(stored) + QStringLiteral("')") : u'#' + jetDate(stored) + u'#';
    return textLiteral(stored);
}

namespace {

// The shortest text the database reads as exactly value, or "" when it reads none so.
QString exactText(double value)
{
    const QString shortest = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (platform::literalValue(shortest) == value)
        return shortest;
    // The database reads a few texts a unit or a few off in the last place: then the
    // nearest longer text it reads as this very number, from among the decimals
    // within a few units of it.
    const long double step = ((long double)std::nextafter(value, HUGE_VAL) - (long double)value) / 4;
    for (int digits = 17; digits <= 21; ++digits) {
        for (int k = 0; k <= 32; ++k) {
            for (const int sign : {-1, 1}) {
                char text[48];
                std::snprintf(text, sizeof text, "%.*Le", digits - 1, (long double)value + sign * k * step);
                if (platform::literalValue(QString::fromLatin1(text)) == value)
                    return QString::fromLatin1(text);
            }
        }
    }
    return {};
}

} // namespace

QString numberLiteral(double value)
{
    if (!std::isfinite(value))
        throw platform::AppError(QStringLiteral("Overflow"));
    if (value == 0)
        return QStringLiteral("0");
    if (QString text = exactText(value); !text.isEmpty())
        return text;
    // A number no decimal text reads as (some below 1e-290): written scaled by 2^64,
    // which the database undoes exactly.
    const bool tiny = std::fabs(value) < 1;
    QString scaled = exactText(std::ldexp(value, tiny ? 64 : -64));
    if (!scaled.contains(u'.') && !scaled.contains(u'e'))
        scaled += QStringLiteral(".0");
    return u'(' + scaled + (tiny ? QStringLiteral("/4294967296/4294967296)") : QStringLiteral("*4294967296*4294967296)"));
}

QString amount(const QVariant& stored)
{
    if (!stored.isValid())
        return QStringLiteral("0");
    return numberLiteral(platform::toDouble(stored));
}

QString valueLiteral(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("Null");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate:
        return u'#' + jetDate(value.toDate()) + u'#';
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        return u'#' + jetDate(moment.date()) + u' ' + moment.time().toString(QStringLiteral("HH:mm:ss")) + u'#';
    }
    case QMetaType::Double:
        return numberLiteral(value.toDouble());
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(value.toLongLong());
    default:
        return u'\'' + quoted(value.toString()) + u'\'';
    }
}

} // namespace data::sql
