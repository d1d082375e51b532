#pragma once
// The numbers the charts draw, worked out from the ledger's rows without any widget:
// the balance at the end of each month (the running sum of deposits less withdrawals),
// withdrawals and deposits per month, and withdrawals by account, largest ten and the
// rest together. Rows without a date, or with both amounts Null, cannot be placed in a
// picture: they are left out and counted, never drawn as zero at some default date.

#include <QDate>
#include <QString>
#include <limits>
#include <vector>

namespace charts {

// One transaction as the charts see it.
struct Entry {
    static constexpr qint64 kNoDay = std::numeric_limits<qint64>::min();
    qint64 day = kNoDay;       // Julian day
    double withdrawal = 0;
    double deposit = 0;
    bool noAmount = false;     // both amounts Null
    qint32 account = -1;       // into Ledger::accountNames
};

struct Ledger {
    std::vector<Entry> entries;
    std::vector<QString> accountNames;
    // Set when entries are a selection (the rows Find shows): every row of the ledger,
    // so the balance can start where the ledger stood before the first row shown.
    bool selection = false;
    std::vector<Entry> whole;
};

// The days a chart covers, both ends included, and the months it draws even when they
// hold no rows (invalid: from the first row's month to the last's).
struct Period {
    qint64 firstDay = std::numeric_limits<qint64>::min();
    qint64 lastDay = std::numeric_limits<qint64>::max();
    QDate firstMonth, lastMonth;
    static Period all() { return {}; }
    // The year's rows; drawn from January to December, or to today's month this year.
    static Period year(int year, const QDate& today = {});
    // The twelve months ending with the month of today, every one drawn.
    static Period last12Months(const QDate& today);
};

struct Month {
    QDate first;               // the month's first day
    double withdrawal = 0;
    double deposit = 0;
    double balance = 0;        // at the month's end, every earlier row included
};

struct AccountWithdrawals {
    QString account;           // "The rest" for the accounts past the largest ten
    double withdrawal = 0;
};

struct ChartNumbers {
    // Every month from the period's first row to its last, those without rows included,
    // and at least the months the period always draws.
    std::vector<Month> months;
    // Largest first; at most ten accounts, then the rest together.
    std::vector<AccountWithdrawals> accounts;
    int leftOut = 0;           // rows in the ledger that could not be placed
};

extern const QString kTheRest;

// The numbers of the period's rows. For a selection the balance starts from the
// ledger's balance before the first row shown: every row dated earlier, shown or not.
ChartNumbers computeNumbers(const Ledger& ledger, const Period& period);

// The months drawn, "Jan 2026 – Dec 2026", "Mar 2025" for one, "" for none.
QString monthsText(const ChartNumbers& numbers);

// The note under a chart about rows left out, "" when none were.
QString leftOutNote(int leftOut);

} // namespace charts
