#include "data/SqlLiteral.h"

#include "platform/AppError.h"
#include "platform/Conversions.h"
#include "platform/Database.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <cstdio>

namespace data::sql {

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

QString jetDate(const QDate& date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

QString numberLiteral(double value)
{
    if (!std::isfinite(value))
        throw platform::AppError(QStringLiteral("Overflow"));
    if (value == 0)
        return QStringLiteral("0");
    const QString shortest = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (platform::literalValue(shortest) == value)
        return shortest;
    // The database reads a few texts one unit off in the last place: then the nearest
    // longer text it reads as this very number, from between the neighbouring doubles.
    const long double step = ((long double)std::nextafter(value, HUGE_VAL) - (long double)value) / 16;
    for (int digits = 17; digits <= 21; ++digits) {
        for (int k = 0; k <= 16; ++k) {
            for (const int sign : {-1, 1}) {
                char text[48];
                std::snprintf(text, sizeof text, "%.*Le", digits - 1, (long double)value + sign * k * step);
                if (platform::literalValue(QString::fromLatin1(text)) == value)
                    return QString::fromLatin1(text);
            }
        }
    }
    return shortest;
}

QString amount(const QVariant& stored)
{
    if (!stored.isValid())
        return QStringLiteral("0");
    return numberLiteral(platform::toDouble(stored));
}

} // namespace data::sql
