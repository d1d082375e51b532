#include "charts/ChartData.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <map>

namespace charts {

const QString kTheRest = QStringLiteral("The rest");

namespace {

// Months counted from year 0, so consecutive months are consecutive numbers.
int monthNumber(qint64 day)
{
    const QDate date = QDate::fromJulianDay(day);
    return date.year() * 12 + date.month() - 1;
}

QDate monthStart(int number)
{
    const int year = number >= 0 ? number / 12 : (number - 11) / 12;
    return QDate(year, number - year * 12 + 1, 1);
}

// An infinity another program may have stored counts as nothing, as in the totals.
double countable(double amount)
{
    return std::isfinite(amount) ? amount : 0;
}

} // namespace

Period Period::year(int year, const QDate& today)
{
    Period period{QDate(year, 1, 1).toJulianDay(), QDate(year, 12, 31).toJulianDay(), QDate(year, 1, 1),
                  QDate(year, 12, 1)};
    // Months still to come are not drawn as if nothing would happen in them.
    if (today.isValid() && today.year() == year)
        period.lastMonth = QDate(year, today.month(), 1);
    return period;
}

Period Period::last12Months(const QDate& today)
{
    const QDate thisMonth(today.year(), today.month(), 1);
    return {thisMonth.addMonths(-11).toJulianDay(), thisMonth.addMonths(1).toJulianDay() - 1,
            thisMonth.addMonths(-11), thisMonth};
}

namespace {

bool placed(const Entry& e)
{
    return e.day != Entry::kNoDay && !e.noAmount;
}

// The first day of a selection's rows in the period, the period's own first day when
// the selection has none there.
qint64 selectionStart(const Ledger& ledger, const Period& period)
{
    qint64 first = std::numeric_limits<qint64>::max();
    for (const Entry& e : ledger.entries) {
        if (placed(e) && e.day >= period.firstDay && e.day <= period.lastDay)
            first = std::min(first, e.day);
    }
    return first == std::numeric_limits<qint64>::max() ? period.firstDay : first;
}

} // namespace

ChartNumbers computeNumbers(const Ledger& ledger, const Period& period)
{
    ChartNumbers numbers;
    double opening = 0;                         // the balance before the period
    if (ledger.selection) {
        const qint64 start = selectionStart(ledger, period);
        for (const Entry& e : ledger.whole) {
            if (placed(e) && e.day < start)
                opening += countable(e.deposit) - countable(e.withdrawal);
        }
    }
    std::map<int, Month> byMonth;
    std::vector<double> byAccount(ledger.accountNames.size());
    // Most rows fall in a month already seen: remember the last one's day range.
    qint64 cachedFrom = 1, cachedTo = 0;
    Month* cached = nullptr;
    for (const Entry& e : ledger.entries) {
        if (e.day == Entry::kNoDay || e.noAmount) {
            if (e.day == Entry::kNoDay || (e.day >= period.firstDay && e.day <= period.lastDay))
                ++numbers.leftOut;
            continue;
        }
        const double withdrawal = countable(e.withdrawal), deposit = countable(e.deposit);
        if (e.day < period.firstDay) {
            if (!ledger.selection)
                opening += deposit - withdrawal;
            continue;
        }
        if (e.day > period.lastDay)
            continue;
        if (!(e.day >= cachedFrom && e.day <= cachedTo)) {
            const int number = monthNumber(e.day);
            cached = &byMonth[number];
            if (!cached->first.isValid())
                cached->first = monthStart(number);
            cachedFrom = cached->first.toJulianDay();
            cachedTo = cached->first.addMonths(1).toJulianDay() - 1;
        }
        cached->withdrawal += withdrawal;
        cached->deposit += deposit;
        if (e.account >= 0 && size_t(e.account) < byAccount.size())
            byAccount[size_t(e.account)] += withdrawal;
    }

    if (!byMonth.empty() || period.firstMonth.isValid()) {
        double balance = opening;
        int first = std::numeric_limits<int>::max(), last = std::numeric_limits<int>::min();
        if (!byMonth.empty())
            first = byMonth.begin()->first, last = byMonth.rbegin()->first;
        if (period.firstMonth.isValid())
            first = std::min(first, monthNumber(period.firstMonth.toJulianDay()));
        if (period.lastMonth.isValid())
            last = std::max(last, monthNumber(period.lastMonth.toJulianDay()));
        for (int m = first; m <= last; ++m) {
            const auto it = byMonth.find(m);
            Month month = it != byMonth.end() ? it->second : Month{monthStart(m)};
            balance += month.deposit - month.withdrawal;
            month.balance = balance;
            numbers.months.push_back(month);
        }
    }

    // Accounts with the same name (a rename, a copy) are one bar.
    QHash<QString, double> named;
    for (size_t i = 0; i < byAccount.size(); ++i) {
        if (byAccount[i] != 0)
            named[ledger.accountNames[i]] += byAccount[i];
    }
    for (auto it = named.constBegin(); it != named.constEnd(); ++it)
        numbers.accounts.push_back({it.key(), it.value()});
    std::sort(numbers.accounts.begin(), numbers.accounts.end(), [](const auto& a, const auto& b) {
        return a.withdrawal != b.withdrawal ? a.withdrawal > b.withdrawal : a.account < b.account;
    });
    if (numbers.accounts.size() > 10) {
        AccountWithdrawals rest{kTheRest, 0};
        for (size_t i = 10; i < numbers.accounts.size(); ++i)
            rest.withdrawal += numbers.accounts[i].withdrawal;
        numbers.accounts.resize(10);
        numbers.accounts.push_back(rest);
    }
    return numbers;
}

QString monthsText(const ChartNumbers& numbers)
{
    if (numbers.months.empty())
        return {};
    const QLocale locale;
    const QString first = locale.toString(numbers.months.front().first, QStringLiteral("MMM yyyy"));
    if (numbers.months.size() == 1)
        return first;
    return first + QStringLiteral(" \u2013 ") + locale.toString(numbers.months.back().first, QStringLiteral("MMM yyyy"));
}

QString leftOutNote(int leftOut)
{
    if (leftOut == 0)
        return {};
    if (leftOut == 1)
        return QStringLiteral("1 transaction without a date or amounts is left out.");
    return QStringLiteral("%1 transactions without a date or amounts are left out.").arg(leftOut);
}

} // namespace charts
