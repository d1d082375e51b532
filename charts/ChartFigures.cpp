#include "charts/ChartFigures.h"

#include <QSaveFile>
#include <cmath>

namespace charts {

namespace {

QString csvField(const QString& text)
{
    const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')
        || text.startsWith(u' ') || text.endsWith(u' ');
    if (!quote)
        return text;
    QString doubled = text;
    doubled.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

// Fifteen significant digits: the sums' binary rounding (0.30000000000000004) is not
// the ledger's.
QString plainNumber(double amount)
{
    if (!std::isfinite(amount) || amount == 0)
        return QStringLiteral("0");
    return QString::number(amount, 'g', 15);
}

} // namespace

Figures figuresOf(Kind kind, const ChartNumbers& numbers)
{
    Figures figures;
    switch (kind) {
    case Kind::Balance:
        figures.headings = {QStringLiteral("Month"), QStringLiteral("Balance")};
        for (const Month& m : numbers.months)
            figures.rows.push_back({m.first, {}, {m.balance}});
        break;
    case Kind::Months:
        figures.headings = {QStringLiteral("Month"), QStringLiteral("Withdrawals"), QStringLiteral("Deposits")};
        for (const Month& m : numbers.months)
            figures.rows.push_back({m.first, {}, {m.withdrawal, m.deposit}});
        break;
    case Kind::Accounts:
        figures.headings = {QStringLiteral("Account"), QStringLiteral("Withdrawals")};
        for (const AccountWithdrawals& a : numbers.accounts)
            figures.rows.push_back({{}, a.account, {a.withdrawal}});
        break;
    }
    return figures;
}

QByteArray figuresCsv(const Figures& figures)
{
    QStringList lines;
    QStringList headings;
    for (const QString& heading : figures.headings)
        headings << csvField(heading);
    lines << headings.join(u',');
    for (const Figures::Row& row : figures.rows) {
        QStringList fields{row.month.isValid() ? row.month.toString(QStringLiteral("yyyy-MM")) : csvField(row.label)};
        for (const double amount : row.amounts)
            fields << plainNumber(amount);
        lines << fields.join(u',');
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

bool saveFigures(const Figures& figures, const QString& file, QString* error)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(figuresCsv(figures)) < 0 || !out.commit()) {
        *error = QStringLiteral("%1 could not be written: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace charts
