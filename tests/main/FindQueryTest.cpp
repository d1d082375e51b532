// The find field's language, table-driven: each typed text against a small ledger,
// naming the rows it must show. Covers each form, its edges, and texts that read as
// none of them and so fall back to words.
#include "main/FindQuery.h"

#include <QDate>
#include <gtest/gtest.h>

using mainwindow::FindQuery;
using mainwindow::FindRow;

namespace {

struct LedgerRow {
    const char* name;
    const char16_t* description;
    const char16_t* account;
    QDate date;
    double withdrawal, deposit;
    bool taxable;
};

const LedgerRow kLedger[] = {
    {"plumber", u"Plumber, kitchen sink", u"Household", QDate(2025, 3, 14), 42.50, 0, true},
    {"cafe", u"Café Müller", u"Cash", QDate(2025, 1, 2), 7.20, 0, false},
    {"salary", u"Salary March", u"Bank", QDate(2025, 3, 31), 0, 2500, true},
    {"transfer", u"Transfer to savings", u"Petty Cash", QDate(2024, 12, 31), 100, 0, false},
    {"refund", u"Refund plumber", u"Household", QDate(2025, 4, 1), 0, 42.5, false},
    {"undated", u"Lost receipt 2025", u"Cash", QDate(), 25, 0, false},
    {"big", u"New roof", u"Household", QDate(2023, 6, 1), 2025, 0, true},
};

FindRow rowOf(const LedgerRow& r)
{
    return {r.description, r.account, r.date.isValid() ? r.date.toJulianDay() : FindRow::kNoDay, r.withdrawal,
            r.deposit, r.taxable};
}

// The names of the rows the text shows, in ledger order, joined by spaces.
std::string shown(const QString& text, const QLocale& locale)
{
    const FindQuery query = FindQuery::parse(text, locale);
    std::string names;
    for (const LedgerRow& r : kLedger) {
        if (query.matches(rowOf(r)))
            names += (names.empty() ? "" : " ") + std::string(r.name);
    }
    return names;
}

struct Case {
    const char16_t* typed;
    const char* rows;
};

const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);
const QLocale kGermany(QLocale::German, QLocale::Germany);

} // namespace

TEST(FindQuery, WordsIgnoreCaseAndAccentsAndMustAllMatchDescriptionOrAccount)
{
    const Case cases[] = {
        {u"", "plumber cafe salary transfer refund undated big"},
        {u"   ", "plumber cafe salary transfer refund undated big"},
        {u"plumber", "plumber refund"},
        {u"PLUMBER", "plumber refund"},
        {u"plum kitchen", "plumber"},
        {u"cafe", "cafe"},
        {u"CAFÉ muller", "cafe"},
        {u"household", "plumber refund big"},   // the account counts as much as the description
        {u"cash", "cafe transfer undated"},
        {u"\"petty cash\"", "transfer"},
        {u"plumber nowhere", ""},
        {u"-plumber", "cafe salary transfer undated big"},
        {u"household -refund", "plumber big"},
        {u"-", ""},                                // a dash alone is a word nobody wrote
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(QString::fromUtf16(c.typed), kUnitedStates), c.rows) << QString::fromUtf16(c.typed).toStdString();
}

TEST(FindQuery, AmountsMatchEitherColumnAndNeverAnEmptyCell)
{
    const Case cases[] = {
        {u"42.50", "plumber refund"},       // withdrawal in one, deposit in the other
        {u"42.5", "plumber refund"},
        {u"7.2", "cafe"},
        {u">100", "salary big"},
        {u">=100", "salary transfer big"},
        {u"<=25", "cafe undated"},
        {u"<7.20", ""},
        {u"=25", "undated"},
        {u"100..2500", "salary transfer big"},
        {u"..10", "cafe"},
        {u"2500.00..", "salary"},
        {u"2500..", "salary"},               // a number in a range is an amount
        {u">1000", "salary big"},            // and in a comparison: never "after the year 1000"
        {u"<2025", "plumber cafe transfer refund undated"},
        {u"=2025", "big"},
        {u"2024..2025", "big"},
        {u"-<50", "salary transfer big"},
        {u"0", "undated"},                   // zero is an empty cell, not an amount: only the word
        {u"2,500", "salary"},                // group separators as the locale writes them
        {u"receipt 2025", "undated"},        // a number alone is a word too
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(QString::fromUtf16(c.typed), kUnitedStates), c.rows) << QString::fromUtf16(c.typed).toStdString();
}

TEST(FindQuery, DatesYearsMonthsAndRangesMatchTheDateAndNeverAMissingOne)
{
    const Case cases[] = {
        {u"3/14/2025", "plumber"},           // the short date format
        {u"3/14/25", "plumber"},
        {u"2025-03-14", "plumber"},
        {u"2025-03", "plumber salary"},
        {u"Mar 2025", "plumber salary"},
        {u"march 2025", "plumber salary"},
        {u"2025", "plumber cafe salary refund undated big"},   // a year, an amount, a word
        {u"2024", "transfer"},
        {u"2025-01..2025-03", "plumber cafe salary"},
        {u">2025-03", "refund"},
        {u">3/31/2025", "refund"},
        {u"<=2024-12-31", "transfer big"},
        {u"2025-01..2025", "plumber cafe salary refund"},   // a date form makes the other end a year
        {u"..2024-12", "transfer big"},
        {u"date:2024", "transfer"},          // after "date:" four digits are a year
        {u"date:>2024", "plumber cafe salary refund"},
        {u"date:<2025", "transfer big"},
        {u"date:2024..2025", "plumber cafe salary transfer refund"},
        {u"DATE:3/14/2025", "plumber"},
        {u"-date:2025", "transfer undated big"},   // a row without a date is in no year
        {u"2025-13", ""},                    // no such month: a word nobody wrote
        {u"-2025", "transfer"},
        {u"Mar", "salary"},                  // a month without a year is a word
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(QString::fromUtf16(c.typed), kUnitedStates), c.rows) << QString::fromUtf16(c.typed).toStdString();
}

TEST(FindQuery, DatesAndAmountsFollowTheUsersLocale)
{
    const Case cases[] = {
        {u"14.03.2025", "plumber"},
        {u"14.03.25", "plumber"},
        {u"42,50", "plumber refund"},
        {u"März 2025", "plumber salary"},
        {u"Mar 2025", "plumber salary"},      // English names are understood everywhere
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(QString::fromUtf16(c.typed), kGermany), c.rows) << QString::fromUtf16(c.typed).toStdString();
}

TEST(FindQuery, AccountAndTaxableNameTheirColumn)
{
    const Case cases[] = {
        {u"account:cash", "cafe transfer undated"},
        {u"account:\"Petty Cash\"", "transfer"},
        {u"ACCOUNT:bank", "salary"},
        {u"account:plumber", ""},            // the description does not count
        {u"taxable:yes", "plumber salary big"},
        {u"taxable:no", "cafe transfer refund undated"},
        {u"Taxable:TRUE household", "plumber big"},
        {u"-account:household", "cafe salary transfer undated"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(QString::fromUtf16(c.typed), kUnitedStates), c.rows) << QString::fromUtf16(c.typed).toStdString();
}

TEST(FindQuery, WhatReadsAsNothingElseIsAWordAndNeverAnError)
{
    const Case cases[] = {
        {u"taxable:maybe", ""},
        {u"account:", ""},
        {u">", ""},
        {u"..", ""},
        {u"1e5", ""},
        {u"inf", ""},
        {u"nan", ""},
        {u">abc", ""},
        {u"receipt", "undated"},
        {u"\"", "plumber cafe salary transfer refund undated big"},
        {u"\"unterminated quote", ""},
        {u"sink,", ""},
        {u"sink", "plumber"},
        {u"2025-02-30", ""},
        {u"32/1/2025", ""},
        {u"date:plumber", ""},               // no date: a word nobody wrote
        {u"date:42.50", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(QString::fromUtf16(c.typed), kUnitedStates), c.rows) << QString::fromUtf16(c.typed).toStdString();

    // Any text at all parses; what matters is that none throws or hangs.
    const QString odd = QStringLiteral("\"-\" -- ... >= <= =. :: account:\"\" \xF0\x9F\x92\xB0 \u0301");
    for (qsizetype n = 0; n <= odd.size(); ++n)
        (void)FindQuery::parse(odd.left(n), kUnitedStates).matches(rowOf(kLedger[0]));
}

TEST(FindQuery, FoldingDropsCaseAndAccentsOnly)
{
    EXPECT_EQ(FindQuery::fold(u"ÀÉÎÕÜ Ça ñ ß"), QString::fromUtf16(u"aeiou ca n ß"));
    EXPECT_TRUE(FindQuery::containsFolded(u"Crème Brûlée", u"creme brulee"));
    EXPECT_TRUE(FindQuery::containsFolded(u"abc", u""));
    EXPECT_FALSE(FindQuery::containsFolded(u"ab", u"abc"));
    EXPECT_FALSE(FindQuery::containsFolded(u"", u"a"));
    EXPECT_TRUE(FindQuery::containsFolded(u"aab", u"ab"));   // a false start does not skip the match
}

TEST(FindQuery, OnlyALongerWordOrAnExtraTermCountsAsNarrowing)
{
    const auto narrows = [](const char* now, const char* before) {
        return FindQuery::parse(QString::fromUtf8(now), kUnitedStates)
            .narrows(FindQuery::parse(QString::fromUtf8(before), kUnitedStates));
    };
    EXPECT_TRUE(narrows("plumb", "plum"));
    EXPECT_TRUE(narrows("plum", ""));
    EXPECT_TRUE(narrows("plum kit", "plum"));
    EXPECT_TRUE(narrows("xplumx", "plum"));
    EXPECT_FALSE(narrows("plu", "plum"));
    EXPECT_FALSE(narrows("-plumb", "-plum"));   // excluding more text excludes fewer rows
    EXPECT_FALSE(narrows("20", "2"));           // amounts change meaning as they grow
    EXPECT_FALSE(narrows("", "plum"));
    EXPECT_FALSE(narrows("account:cashx", "cash"));
}
