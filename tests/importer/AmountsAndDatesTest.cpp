// Amounts and dates as banks write them, read exactly; the day/month order decided for a
// whole file.
#include "importer/Amounts.h"
#include "importer/Dates.h"
#include "importer/Statement.h"
#include "importer/TextDecoding.h"

#include <gtest/gtest.h>

using namespace importer;

namespace {

struct AmountCase {
    const char* text;
    char decimal;
    qint64 cents;   // when readable
    bool readable;
};

TEST(Amounts, everyWayBanksWriteThemReadsToTheCent)
{
    const AmountCase cases[] = {
        {"1,234.56", '.', 123456, true},    {"1.234,56", ',', 123456, true},  {"-12,00", ',', -1200, true},
        {"12,00-", ',', -1200, true},       {"(12.00)", '.', -1200, true},    {"+5", '.', 500, true},
        {"EUR 3.50", '.', 350, true},       {"3,50 €", ',', 350, true},       {"1 234,56", ',', 123456, true},
        {"1'234.56", '.', 123456, true},    {"0.1", '.', 10, true},           {"-0.05", '.', -5, true},
        {"12.5000", '.', 1250, true},       {"$-7.10", '.', -710, true},      {"\u2212" "4.00", '.', -400, true},
        {"12a.50", '.', 0, false},          {"", '.', 0, false},              {"abc", '.', 0, false},
        {"1.2.3", ',', 12300, true},          {"1,5,0", ',', 0, false},         {"12.345", '.', 0, false},
        {"--5", '.', 0, false},             {"5-3", '.', 0, false},           {"-", '.', 0, false},
        {"99999999999999999999", '.', 0, false}, {"1000000000000000", '.', 0, false},
        {"999999999999999.99", '.', 99999999999999999, true},
    };
    for (const AmountCase& c : cases) {
        SCOPED_TRACE(c.text);
        const AmountResult r = parseAmount(QString::fromUtf8(c.text), QChar(c.decimal));
        ASSERT_EQ(r.cents.has_value(), c.readable) << r.problem.toStdString();
        if (c.readable)
            EXPECT_EQ(*r.cents, c.cents);
        else
            EXPECT_FALSE(r.problem.isEmpty());
    }
}

TEST(Amounts, aFileDecidesItsDecimalSeparatorTogether)
{
    EXPECT_EQ(decimalSeparatorOf({"1,234", "12,50"}), u',');          // the second decides
    EXPECT_EQ(decimalSeparatorOf({"1.234,56", "3"}), u',');
    EXPECT_EQ(decimalSeparatorOf({"1,234.56"}), u'.');
    EXPECT_EQ(decimalSeparatorOf({"1.234.567"}), u',');               // only thousands
    EXPECT_EQ(decimalSeparatorOf({"1,234"}, u','), u',');             // undecided: the fallback
    EXPECT_EQ(decimalSeparatorOf({"1,234"}, u'.'), u'.');
}

TEST(Amounts, centsTextIsAPlainDecimal)
{
    EXPECT_EQ(centsText(123450), u"1234.50");
    EXPECT_EQ(centsText(-5), u"-0.05");
    EXPECT_EQ(centsText(0), u"0.00");
    EXPECT_EQ(centsText(-99999999999999999), u"-999999999999999.99");
}

struct DateCase {
    const char* text;
    DateOrder order;
    QDate expected;   // invalid: the order does not read it
};

TEST(Dates, everyFormBanksWriteReadsInItsOrder)
{
    using O = DateOrder;
    const DateCase cases[] = {
        {"31.01.2024", O::DayMonthYear, QDate(2024, 1, 31)},  {"01/31/2024", O::MonthDayYear, QDate(2024, 1, 31)},
        {"2024-01-31", O::YearMonthDay, QDate(2024, 1, 31)},  {"31-01-24", O::DayMonthYear, QDate(2024, 1, 31)},
        {"1/2'05", O::MonthDayYear, QDate(2005, 1, 2)},       {"1/ 2'05", O::DayMonthYear, QDate(2005, 2, 1)},
        {"12/31/99", O::MonthDayYear, QDate(1999, 12, 31)},   {"20240131", O::YearMonthDay, QDate(2024, 1, 31)},
        {"31 Jan 2024", O::DayMonthYear, QDate(2024, 1, 31)}, {"Jan 31, 2024", O::MonthDayYear, QDate(2024, 1, 31)},
        {"31. März 2024", O::DayMonthYear, QDate(2024, 3, 31)}, {"31.01.2024 14:05", O::DayMonthYear, QDate(2024, 1, 31)},
        {"2024-01-31T10:00:00", O::YearMonthDay, QDate(2024, 1, 31)},
        {"31/02/2024", O::DayMonthYear, QDate()},             {"2024-01-31", O::DayMonthYear, QDate()},
        {"31 Jan 2024", O::MonthDayYear, QDate()},            {"13/13/2024", O::MonthDayYear, QDate()},
        {"yesterday", O::DayMonthYear, QDate()},              {"", O::DayMonthYear, QDate()},
        {"1/2/3/4", O::DayMonthYear, QDate()},
    };
    for (const DateCase& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " as " + dateOrderName(c.order).toStdString());
        EXPECT_EQ(dateIn(splitDate(QString::fromUtf8(c.text)), c.order), c.expected);
    }
}

TEST(Dates, theOrderIsTheOneThatFitsEveryDateOfTheFile)
{
    // One day past the 12th settles it for all rows, whichever row it is in.
    auto dmy = chooseDateOrder({"01/02/2024", "03/04/2024", "25/04/2024"});
    EXPECT_EQ(dmy.fitting, QList<DateOrder>{DateOrder::DayMonthYear});
    auto mdy = chooseDateOrder({"01/02/2024", "04/25/2024", "03/04/2024"});
    EXPECT_EQ(mdy.fitting, QList<DateOrder>{DateOrder::MonthDayYear});
    EXPECT_EQ(mdy.chosen, DateOrder::MonthDayYear);
    // Every date reads both ways: ambiguous, both offered.
    auto both = chooseDateOrder({"01/02/2024", "03/04/2024"});
    EXPECT_EQ(both.fitting, (QList<DateOrder>{DateOrder::DayMonthYear, DateOrder::MonthDayYear}));
    // A date no order reads (31/02) takes no part in the decision.
    auto withBad = chooseDateOrder({"31/02/2024", "25/04/2024"});
    EXPECT_EQ(withBad.fitting, QList<DateOrder>{DateOrder::DayMonthYear});
    // Mixed orders: none fits all, the one that reads most is used.
    auto mixed = chooseDateOrder({"25/04/2024", "26/04/2024", "04/27/2024"});
    EXPECT_TRUE(mixed.fitting.isEmpty());
    EXPECT_EQ(mixed.chosen, DateOrder::DayMonthYear);
}

TEST(Dates, theReasonSaysWhetherTheDayDoesNotExistOrTheOrderIsWrong)
{
    EXPECT_TRUE(dateProblem("31/02/2024", DateOrder::DayMonthYear).contains(u"not a day of the calendar"));
    EXPECT_TRUE(dateProblem("04/27/2024", DateOrder::DayMonthYear).contains(u"day/month/year"));
    EXPECT_EQ(dateProblem("  ", DateOrder::DayMonthYear), u"no date");
}

TEST(TextDecoding, theEncodingIsFoundFromTheBytes)
{
    EXPECT_EQ(decodeText("\xEF\xBB\xBF" "Gr\xC3\xBC\xC3\x9F" "e").text, u"Grüße");
    EXPECT_EQ(decodeText("Gr\xC3\xBC\xC3\x9F" "e").encoding, u"UTF-8");
    const DecodedText ansi = decodeText("Gr\xFC\xDF" "e \x80 \x84" "x\x93");
    EXPECT_EQ(ansi.encoding, u"windows-1252");
    EXPECT_EQ(ansi.text, QString::fromUtf8("Grüße € „x“"));
    EXPECT_EQ(decodeText(QByteArray("\xFF\xFE" "A\0\xFC\0", 6)).text, u"Aü");
    EXPECT_EQ(decodeText(QByteArray("\xFE\xFF\0A\0\xFC", 6)).text, u"Aü");
    EXPECT_EQ(decodeText("\xA4" "5", "ISO-8859-15").text, u"€5");
    // Overlong and surrogate forms are not UTF-8.
    EXPECT_FALSE(isUtf8("\xC0\xAF"));
    EXPECT_FALSE(isUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(isUtf8("\xE2\x82"));
}

} // namespace
