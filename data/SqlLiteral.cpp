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
    return date.toString(QStringLiteral("MM/dd/yyyy"));
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
