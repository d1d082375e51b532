#include "data/SqlLiteral.h"

#include "platform/AppError.h"
#include "platform/Conversions.h"

#include <QDateTime>

namespace data::sql {

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

QString jetDate(const QDate& date)
{
    int year = date.year();
    if (year < 1 || year > 9999)
        return date.toString(QStringLiteral("MM/dd/yyyy"));
    // Spelled out digit by digit: a report writes one for every transaction it copies.
    QChar text[10];
    auto two = [](QChar* at, int value) {
        at[0] = QChar(u'0' + value / 10);
        at[1] = QChar(u'0' + value % 10);
    };
    two(text, date.month());
    text[2] = u'/';
    two(text + 3, date.day());
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

QString amount(const QVariant& stored)
{
    if (!stored.isValid())
        return QStringLiteral("0");
    return platform::sqlNumberText(platform::toDouble(stored));
}

} // namespace data::sql
