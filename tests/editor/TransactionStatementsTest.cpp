#include "editor/TransactionStatements.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace editor;

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);

struct AmountCase {
    const char* typed;
    const QLocale* locale;
    const char* written;
};

} // namespace

TEST(AmountInStatement, PlainNumbersKeptLocaleNumbersRewrittenAnythingElseZero)
{
    const AmountCase cases[] = {
        {"12.50", &us, "12.50"},       // trailing zeros go in as typed
        {"-3", &us, "-3"},
        {".5", &us, ".5"},
        {"1e3", &us, "1e3"},
        {"1,234.50", &us, "1234.5"},   // grouping never reaches the SQL
        {"12,5", &german, "12.5"},     // nor a decimal comma
        {"1.234,5", &german, "1234.5"},
        {" 7 ", &us, "7"},
        {"abc", &us, "0"},
        {"", &us, "0"},
        {"12.5; drop table Accounts", &us, "0"},
        {"1e400", &us, "0"},           // would be stored as infinity
    };
    for (const auto& c : cases) {
        EXPECT_EQ(amountLiteral(QString::fromUtf8(c.typed), *c.locale), QString::fromUtf8(c.written))
            << "typed: " << c.typed;
    }
}

TEST(AmountOnLeaving, NumbersStayAsTypedEverythingElseBecomesZero)
{
    EXPECT_EQ(amountOnLeaving(QStringLiteral("1,234.50"), us), QStringLiteral("1,234.50"));
    EXPECT_EQ(amountOnLeaving(QStringLiteral("12.50"), us), QStringLiteral("12.50"));
    EXPECT_EQ(amountOnLeaving(QStringLiteral("12,5"), german), QStringLiteral("12,5"));
    EXPECT_EQ(amountOnLeaving(QStringLiteral("twelve"), us), QStringLiteral("0"));
    EXPECT_EQ(amountOnLeaving(QString(), us), QStringLiteral("0"));
    EXPECT_EQ(amountOnLeaving(QStringLiteral("  "), us), QStringLiteral("0"));
}

TEST(TransactionStatement, InsertAndUpdateCarryEveryFieldByTheLiteralRules)
{
    const TransactionValues v{QDate(2021, 3, 5), QStringLiteral("O'Brien's trip"), 7,
                              QStringLiteral("12.50"), QStringLiteral("1,000"), 1};
    EXPECT_EQ(insertTransaction(v, us),
              QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                             "WithdrawalAmount,DepositAmount,Taxable) values "
                             "(#03/05/2021#,'O''Brien''s trip',7,12.50,1000,1)"));
    EXPECT_EQ(updateTransaction(v, QStringLiteral("42"), us),
              QStringLiteral("update Transactions set TransactionDate=#03/05/2021#,"
                             "TransactionDescription='O''Brien''s trip',AccountID=7,WithdrawalAmount=12.50,"
                             "DepositAmount=1000,Taxable=1 where TransactionNumber=42"));
}

TEST(AccountStatement, NamesAreQuotedAndIdsWrittenAsNumbers)
{
    EXPECT_EQ(insertAccount(QStringLiteral("Joe's 'Diner'")),
              QStringLiteral("insert into Accounts (AccountName) values ('Joe''s ''Diner''')"));
    EXPECT_EQ(deleteAccount(12), QStringLiteral("delete from Accounts where AccountID=12"));
    EXPECT_EQ(deleteAccountTransactions(12), QStringLiteral("delete from Transactions where AccountID=12"));
}
