#include "importer/Statement.h"

#include "importer/Amounts.h"
#include "platform/LedgerDays.h"

#include <algorithm>

namespace importer {

QString formatName(Format format)
{
    switch (format) {
    case Format::Ofx: return QStringLiteral("OFX");
    case Format::Qif: return QStringLiteral("QIF");
    case Format::Csv: return QStringLiteral("CSV");
    case Format::Camt: return QStringLiteral("CAMT.053");
    case Format::Unknown: break;
    }
    return {};
}

int Statement::readableCount() const
{
    return int(std::count_if(rows.cbegin(), rows.cend(), [](const Row& r) { return r.readable(); }));
}

void Row::settle(const QString& whyNot, qint64 amount, bool invertSigns)
{
    using namespace platform::stored;
    const qint64 signedAmount = invertSigns ? -amount : amount;
    QString why = whyNot;
    if (why.isEmpty() && !date.isValid())
        why = QStringLiteral("no date");
    else if (why.isEmpty() && !isLedgerDay(date))
        why = QStringLiteral("the date %1 is outside the days a ledger keeps (%2 to %3)")
                  .arg(date.toString(Qt::ISODate), kFirstLedgerDay.toString(Qt::ISODate),
                       kLastLedgerDay.toString(Qt::ISODate));
    if (why.isEmpty())
        why = amountKeepingProblem(signedAmount);
    if (why.isEmpty())
        cents = signedAmount;
    else
        problem = QStringLiteral("Line %1: %2.").arg(line).arg(why);
}

QString centsText(qint64 cents)
{
    const bool negative = cents < 0;
    // qint64's smallest value has no positive counterpart; amounts never reach it (kMaxCents).
    const quint64 size = negative ? quint64(-(cents + 1)) + 1 : quint64(cents);
    QString text = QString::number(size / 100) + u'.' + QStringLiteral("%1").arg(size % 100, 2, 10, QChar(u'0'));
    return negative ? u'-' + text : text;
}

} // namespace importer
