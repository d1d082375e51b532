// Amounts as the list, the summary and the report show them, under two locales that
// disagree on both separators; and the plain totals' number text.
#include "currency/AmountFormat.h"
#include "platform/Conversions.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using currency::formatAmount;

namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);
const QLocale kDE(QLocale::German, QLocale::Germany);

TEST(AmountFormatting, TwoDecimalsGroupedWithTheLocaleSeparatorsAndTheSymbolAsText)
{
    const struct {
        double value;
        const char* pattern;
        const char* us;
        const char* de;
    } cases[] = {
        {1234.5, "$#,##0.00", "$1,234.50", "$1.234,50"},
        {1234.5, "#,##0.00$", "1,234.50$", "1.234,50$"},
        {-5, "$#,##0.00", "-$5.00", "-$5,00"},
        {-5, "#,##0.00$", "-5.00$", "-5,00$"},
        {0, "$#,##0.00", "$0.00", "$0,00"},
        // Halves round away from zero, also just below the half in binary.
        {0.125, "$#,##0.00", "$0.13", "$0,13"},
        {1.005, "$#,##0.00", "$1.01", "$1,01"},
        {-0.005, "$#,##0.00", "-$0.01", "-$0,01"},
        {-0.004, "$#,##0.00", "$0.00", "$0,00"},
        {999.995, "$#,##0.00", "$1,000.00", "$1.000,00"},
        {1e15, "$#,##0.00", "$1,000,000,000,000,000.00", "$1.000.000.000.000.000,00"},
        {123456789012.345, "$#,##0.00", "$123,456,789,012.35", "$123.456.789.012,35"},
        {1234.5, "CHF #,##0.00", "CHF 1,234.50", "CHF 1.234,50"},
        {1234.5, "#,##0.00", "1,234.50", "1.234,50"},
        // A symbol with digits, separators or the number part in it is shown literally.
        {7, "0.5,#x#,##0.00", "0.5,#x7.00", "0.5,#x7,00"},
        {7, "#,##0.00 #,##0.00x", "7.00 #,##0.00x", "7,00 #,##0.00x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " with " + c.pattern);
        const QString pattern = QString::fromUtf8(c.pattern);
        EXPECT_EQ(formatAmount(c.value, pattern, kUS), QString::fromUtf8(c.us));
        EXPECT_EQ(formatAmount(c.value, pattern, kDE), QString::fromUtf8(c.de));
    }
}

TEST(AmountFormatting, StoredValuesOfEveryKindFormatAsNumbersAndNothingAsNothing)
{
    const QString pattern = QStringLiteral("$#,##0.00");
    EXPECT_EQ(formatAmount(QVariant(), pattern, kUS), QString());
    EXPECT_EQ(formatAmount(QVariant(QStringLiteral("")), pattern, kUS), QString());
    EXPECT_EQ(formatAmount(QVariant(qlonglong(-3)), pattern, kUS), QStringLiteral("-$3.00"));
    EXPECT_EQ(formatAmount(QVariant(QStringLiteral("1234.5")), pattern, kDE), QStringLiteral("$1.234,50"));
    // Text that names no number is shown as it is.
    EXPECT_EQ(formatAmount(QVariant(QStringLiteral("n/a")), pattern, kUS), QStringLiteral("n/a"));
    // Without a locale named, the user's own is used.
    QLocale::setDefault(kDE);
    const QString de = formatAmount(1234.5, QStringLiteral("#,##0.00$"));
    QLocale::setDefault(kUS);
    EXPECT_EQ(de, QStringLiteral("1.234,50$"));
}

TEST(PlainTotals, UpToFifteenDigitsUngroupedWithoutTrailingZeros)
{
    const struct {
        double value;
        const char* us;
        const char* de;
    } cases[] = {
        {-0.0, "0", "0"},
        {1234.5, "1234.5", "1234,5"},
        {0.1 + 0.2, "0.3", "0,3"},
        {25.0 - 100.25, "-75.25", "-75,25"},
        {123456789012345.0, "123456789012345", "123456789012345"},
        {1e15, "1E+15", "1E+15"},
        {-2.5e20, "-2.5E+20", "-2,5E+20"},
        {1e-5, "1E-05", "1E-05"},
        {0.0001, "0.0001", "0,0001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::numberText(c.value, kUS), QString::fromUtf8(c.us)) << c.value;
        EXPECT_EQ(platform::numberText(c.value, kDE), QString::fromUtf8(c.de)) << c.value;
    }
}

} // namespace
