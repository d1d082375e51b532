#include "platform/StoredFormat.h"

#include <strings.h>

namespace platform::stored {

namespace {
struct KnownColumn { const char* table; const char* column; ColumnKind kind; };
constexpr KnownColumn kKnownColumns[] = {
    {"Transactions", "TransactionDate", ColumnKind::Date},
    {"Transactions", "Taxable", ColumnKind::YesNo},
    {"tblReport", "Date", ColumnKind::Date},
};

bool digits(const char* p, int n, int& out)
{
    out = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        out = out * 10 + (p[i] - '0');
    }
    return true;
}
} // namespace

ColumnKind kindOf(const char* table, const char* column)
{
    if (!table || !column)
        return ColumnKind::Plain;
    for (const auto& known : kKnownColumns) {
        if (strcasecmp(known.table, table) == 0 && strcasecmp(known.column, column) == 0)
            return known.kind;
    }
    return ColumnKind::Plain;
}

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString dateTimeText(const QDateTime& dateTime)
{
    if (dateTime.time() == QTime(0, 0))
        return dateText(dateTime.date());
    return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<QVariant> parseDateText(const char* s, int n)
{
    int y, m, d;
    if (n < 10 || s[4] != '-' || s[7] != '-' || !digits(s, 4, y) || !digits(s + 5, 2, m)
        || !digits(s + 8, 2, d))
        return std::nullopt;
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    if (n == 10)
        return QVariant(date);
    int hh, mm, ss;
    if (n != 19 || s[10] != ' ' || s[13] != ':' || s[16] != ':' || !digits(s + 11, 2, hh)
        || !digits(s + 14, 2, mm) || !digits(s + 17, 2, ss))
        return std::nullopt;
    const QTime time(hh, mm, ss);
    if (!time.isValid())
        return std::nullopt;
    return QVariant(QDateTime(date, time, Qt::UTC));
}

} // namespace platform::stored
