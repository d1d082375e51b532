#pragma once
// What the user types into the list's find field, read into terms that every shown row
// must match. Words match the description or the account, ignoring case and accents;
// amounts ("42.50", ">1000", "<=25", "100..200") match either amount column, a number
// in a comparison or range being always an amount; dates in the short date format,
// years ("2025"), months ("2025-03", "Mar 2025"), ranges and comparisons of date forms
// ("2025-01..2025-03", ">3/1/2025") and anything after "date:" ("date:>2025") match
// the date; "account:Cash" and "taxable:yes" match one column; a leading "-" turns any
// term into an exclusion. A text that reads as none of these is a word, so typing
// never fails.

#include <QLocale>
#include <QString>
#include <QStringView>
#include <limits>
#include <vector>

namespace mainwindow {

// One row as the find field sees it. day is the date's Julian day, kNoDay when the
// row has no date; an amount of 0 is an empty cell.
struct FindRow {
    static constexpr qint64 kNoDay = std::numeric_limits<qint64>::min();
    QStringView description;
    QStringView account;
    qint64 day = kNoDay;
    double withdrawal = 0;
    double deposit = 0;
    bool taxable = false;
};

class FindQuery {
public:
    // A term can read several ways at once ("2025" is a year and an amount); it matches
    // when any of them does.
    struct Term {
        enum Kind : unsigned { Word = 1, Account = 2, Amount = 4, Date = 8, Taxable = 16 };
        unsigned kinds = 0;
        bool exclude = false;
        QString folded;                        // Word, Account: lower case, accents removed
        double low = -std::numeric_limits<double>::infinity();   // Amount bounds
        double high = std::numeric_limits<double>::infinity();
        bool lowOpen = false, highOpen = false;                  // strict bounds (">", "<")
        qint64 firstDay = 0, lastDay = 0;      // Date, inclusive
        bool taxable = false;                  // Taxable
        bool operator==(const Term&) const = default;
    };

    // Rows are matched against at most this many terms; more are dropped.
    static constexpr int kMaxTerms = 64;

    static FindQuery parse(const QString& text, const QLocale& locale = QLocale());

    bool isEmpty() const { return m_terms.empty(); }
    const std::vector<Term>& terms() const { return m_terms; }

    // Which terms (bit i for term i) an account name satisfies. Ledgers have few
    // accounts, so a list works this out once per account rather than once a row.
    quint64 accountHits(QStringView account) const;
    bool matches(const FindRow& row, quint64 accountHits) const;
    bool matches(const FindRow& row) const { return matches(row, accountHits(row.account)); }

    // Whether every row this query matches is also matched by `wider`: typing on
    // usually only narrows, and then only the rows shown need checking again.
    bool narrows(const FindQuery& wider) const;

    // Lower case without accents, as words are compared.
    static QString fold(QStringView text);
    // Whether text contains needle (already folded), comparing text folded.
    static bool containsFolded(QStringView text, QStringView needle);

private:
    std::vector<Term> m_terms;
};

} // namespace mainwindow
