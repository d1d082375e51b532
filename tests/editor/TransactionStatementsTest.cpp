#include "editor/TransactionStatements.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace editor;

TEST(AmountInStatement, PlainNumbersKeptLocaleNumbersRewrittenAnythingElseZero)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct { const char* typed; const QLocale& locale; const char* written; } cases[] = {
        {"12.50", us, "12.50"}, // trailing zeros go in as typed
        {"-3", us, "-3"},
        {".5", us, ".5"},
        {"1,234.50", us, "1234.5"}, // grouping never reaches the SQL
        {"12,5", german, "12.5"},   // nor a decimal comma
        {" 7 ", us, "7"},
        {"abc", us, "0"},
        {"", us, "0"},
        {"12.5; drop table Accounts", us, "0"},
        {"1e400", us, "0"}, // would be stored as infinity
    };
    for (const auto& c : cases)
        EXPECT_EQ(amountLiteral(QString::fromUtf8(c.typed), c.locale).toStdString(), c.written) << c.typed;
}
