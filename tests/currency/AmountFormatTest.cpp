// Amounts as the list, the summary and the report show them, under two locales that
// disagree on both separators; and the plain totals' number text.
#include "currency/AmountFormat.h"
#include "platform/Conversions.h"

#include "tests/currency/QtPrinters.h"

#include <gtest/gtest.h>

using currency::formatAmount;

namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);
const QLocale kDE(QLocale::German, QLocale::Germany);

struct AmountCase {
    double value;
    const char* pattern;
    const char* us;
    const char* de;
};

void PrintTo(const AmountCase& c, std::ostream* os)
{
    *os << c.value << " with " << c.pattern;
}

class AmountFormatting : public ::testing::TestWithParam<AmountCase> {};

TEST_P(AmountFormatting, ShowsTwoDecimalsGroupedWithTheLocaleSeparators)
{
    const AmountCase& c = GetParam();
    const QString pattern = QString::fromUtf8(c.pattern);
    EXPECT_EQ(formatAmount(c.value, pattern, kUS), QString::fromUtf8(c.us));
    EXPECT_EQ(formatAmount(c.value, pattern, kDE), QString::fromUtf8(c.de));
}

INSTANTIATE_TEST_SUITE_P(Amounts, AmountFormatting, ::testing::Values(
    AmountCase{1234.5, "$#,##0.00", "$1,234.50", "$1.234,50"},
    AmountCase{1234.5, "#,##0.00$", "1,234.50$", "1.234,50$"},
    AmountCase{-5, "$#,##0.00", "-$5.00", "-$5,00"},
    AmountCase{-5, "#,##0.00$", "-5.00$", "-5,00$"},
    AmountCase{0, "$#,##0.00", "$0.00", "$0,00"},
    AmountCase{0.125, "$#,##0.00", "$0.13", "$0,13"},
    AmountCase{1.005, "$#,##0.00", "$1.01", "$1,01"},
    AmountCase{2.675, "$#,##0.00", "$2.68", "$2,68"},
    AmountCase{-0.005, "$#,##0.00", "-$0.01", "-$0,01"},
    AmountCase{0.004, "$#,##0.00", "$0.00", "$0,00"},
    AmountCase{-0.004, "$#,##0.00", "$0.00", "$0,00"},
    AmountCase{999.995, "$#,##0.00", "$1,000.00", "$1.000,00"},
    AmountCase{1234567.891, "$#,##0.00", "$1,234,567.89", "$1.234.567,89"},
    AmountCase{1e15, "$#,##0.00", "$1,000,000,000,000,000.00", "$1.000.000.000.000.000,00"},
    AmountCase{123456789012.345, "$#,##0.00", "$123,456,789,012.35", "$123.456.789.012,35"},
    AmountCase{-98765.4321, "\u20AC#,##0.00", "-\u20AC98,765.43", "-\u20AC98.765,43"},
    AmountCase{1234.5, "CHF #,##0.00", "CHF 1,234.50", "CHF 1.234,50"},
    AmountCase{1234.5, "#,##0.00", "1,234.50", "1.234,50"},
    // A symbol with digits, separators or the number part in it is shown literally.
    AmountCase{7, "0.5,#x#,##0.00", "0.5,#x7.00", "0.5,#x7,00"},
    AmountCase{7, "#,##0.00#,##0.00", "#,##0.007.00", "#,##0.007,00"},
    AmountCase{7, "#,##0.00 #,##0.00x", "7.00 #,##0.00x", "7,00 #,##0.00x"}));

TEST(AmountFormatting, NullAndEmptyTextFormatToEmptyText)
{
    EXPECT_EQ(formatAmount(QVariant(), QStringLiteral("$#,##0.00"), kUS), QString());
    EXPECT_EQ(formatAmount(QVariant(QString()), QStringLiteral("$#,##0.00"), kUS), QString());
    EXPECT_EQ(formatAmount(QVariant(QStringLiteral("")), QStringLiteral("$#,##0.00"), kUS), QString());
    EXPECT_EQ(formatAmount(QVariant(QMetaType(QMetaType::Double)), QStringLiteral("$#,##0.00"), kUS), QString());
}

TEST(AmountFormatting, StoredValuesOfEveryKindFormatAsNumbers)
{
    EXPECT_EQ(formatAmount(QVariant(25.0), QStringLiteral("$#,##0.00"), kUS), QStringLiteral("$25.00"));
    EXPECT_EQ(formatAmount(QVariant(qlonglong(-3)), QStringLiteral("$#,##0.00"), kUS), QStringLiteral("-$3.00"));
    EXPECT_EQ(formatAmount(QVariant(QStringLiteral("1234.5")), QStringLiteral("$#,##0.00"), kDE),
              QStringLiteral("$1.234,50"));
    // Text that names no number is shown as it is.
    EXPECT_EQ(formatAmount(QVariant(QStringLiteral("n/a")), QStringLiteral("$#,##0.00"), kUS), QStringLiteral("n/a"));
}

TEST(AmountFormatting, DefaultLocaleIsTheUsers)
{
    QLocale::setDefault(kDE);
    const QString de = formatAmount(1234.5, QStringLiteral("#,##0.00$"));
    QLocale::setDefault(kUS);
    EXPECT_EQ(de, QStringLiteral("1.234,50$"));
    EXPECT_EQ(formatAmount(1234.5, QStringLiteral("#,##0.00$")), QStringLiteral("1,234.50$"));
}

struct PlainCase {
    double value;
    const char* us;
    const char* de;
};

void PrintTo(const PlainCase& c, std::ostream* os)
{
    *os << c.value;
}

class PlainTotals : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainTotals, UpToFifteenDigitsUngroupedWithoutTrailingZeros)
{
    const PlainCase& c = GetParam();
    EXPECT_EQ(platform::numberText(c.value, kUS), QString::fromUtf8(c.us));
    EXPECT_EQ(platform::numberText(c.value, kDE), QString::fromUtf8(c.de));
}

INSTANTIATE_TEST_SUITE_P(Totals, PlainTotals, ::testing::Values(
    PlainCase{0, "0", "0"},
    PlainCase{-0.0, "0", "0"},
    PlainCase{1234.5, "1234.5", "1234,5"},
    PlainCase{-12, "-12", "-12"},
    PlainCase{0.1 + 0.2, "0.3", "0,3"},
    PlainCase{25.0 - 100.25, "-75.25", "-75,25"},
    PlainCase{123456789012345.0, "123456789012345", "123456789012345"},
    PlainCase{1e15, "1E+15", "1E+15"},
    PlainCase{-2.5e20, "-2.5E+20", "-2,5E+20"},
    PlainCase{1e-5, "1E-05", "1E-05"},
    PlainCase{0.0001, "0.0001", "0,0001"}));

} // namespace
