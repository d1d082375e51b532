#include "main/ImportWindowTexts.h"

#include "currency/AmountFormat.h"
#include "platform/Conversions.h"

#include <QStringList>
#include <cstdlib>

namespace mainwindow::importtexts {

namespace {

// The row typed by hand as the list shows it: its date, description and amount.
QString matchedRow(const importing::PlannedRow& row, const QString& pattern)
{
    QStringList parts{dateText(row.matchedDate)};
    if (!row.matchedDescription.isEmpty())
        parts << row.matchedDescription;
    // The amount as the list's own columns show it: which side, and never signed.
    parts << (row.row.cents < 0 ? QStringLiteral("withdrawal ") : QStringLiteral("deposit "))
            + amountText(std::abs(row.row.cents), pattern);
    return parts.join(QStringLiteral(", "));
}

} // namespace

QString dateText(const QDate& date)
{
    return date.isValid() ? platform::dateText(QVariant(date)) : QString();
}

QString amountText(qint64 cents, const QString& pattern)
{
    // Whole cents below 2^53 are exact as a double; formatAmount rounds to two places.
    return currency::formatAmount(double(cents) / 100.0, pattern);
}

QString statusText(const importing::PlannedRow& row, const QString& pattern)
{
    switch (row.status) {
    case importing::RowStatus::New: return QStringLiteral("new");
    case importing::RowStatus::InLedger: return QStringLiteral("already in the ledger");
    case importing::RowStatus::PossibleMatch: return QStringLiteral("possible match: ") + matchedRow(row, pattern);
    case importing::RowStatus::NotReadable:
        // Most readers name the line in the reason already; it is said once.
        if (row.row.line > 0
            && !row.row.problem.contains(QStringLiteral("line %1").arg(row.row.line), Qt::CaseInsensitive))
            return QStringLiteral("not readable (line %1): %2").arg(row.row.line).arg(row.row.problem);
        return QStringLiteral("not readable: ") + row.row.problem;
    }
    return {};
}

QString matchToolTip(const importing::PlannedRow& row, const QString& pattern)
{
    return QStringLiteral("It matches the row typed by hand on %1. Tick to add it as a new row; else it is taken "
                          "as that row.")
        .arg(matchedRow(row, pattern));
}

QString summaryText(const importing::ImportPlan& plan, const QString& pattern)
{
    const int matches = plan.count(importing::RowStatus::PossibleMatch);
    QString text = QStringLiteral("%1 new, %2 already in the ledger, %3 possible matches, %4 not readable.")
                       .arg(plan.count(importing::RowStatus::New))
                       .arg(plan.count(importing::RowStatus::InLedger))
                       .arg(matches)
                       .arg(plan.count(importing::RowStatus::NotReadable));
    if (matches > 0)
        text += QStringLiteral(" Possible matches are taken as the rows typed by hand and not added, unless ticked.");
    if (plan.closingDifference && *plan.closingDifference != 0)
        text += QStringLiteral(" The statement's closing balance, %1, differs from the account's by %2.")
                    .arg(amountText(plan.closing->cents, pattern), amountText(*plan.closingDifference, pattern));
    return text;
}

} // namespace mainwindow::importtexts
