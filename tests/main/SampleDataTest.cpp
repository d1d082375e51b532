// The example data: accounts topped up to two, three transactions dated today on every
// click, booked to the lowest and highest account, whatever the user's date format.
#include "tests/main/MainWindowFixture.h"

#include "main/LedgerStatements.h"

#include <QDate>

using namespace mainwindow;

namespace {
std::string today()
{
    return QDate::currentDate().toString(Qt::ISODate).toStdString();
}
const char* kTransactions = "select TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, "
                            "DepositAmount, Taxable from Transactions order by TransactionNumber";
} // namespace

using SampleData = MainWindowTest;

TEST_F(SampleData, EmptyLedgerGainsTwoAccountsAndThreeTransactions)
{
    start();
    form.PushButton7_Click();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(env.rows(QStringLiteral("select AccountID, AccountName from Accounts")), "1|Loans; 2|Income");
    const std::string d = today();
    EXPECT_EQ(env.rows(QString::fromLatin1(kTransactions)),
              d + "|Business trip|2|135.0|120.0|0; " + d + "|Service bill|1|98.0|32.0|0; " + d + "|Papers|2|74.0|35.0|0");
    EXPECT_EQ(summary(), (QStringList{"Widrawal: $307.00", "Deposit: $187.00", "Balance: -$120.00", "Widrawal: 307",
                                      "Deposit: 187", "Balance: -120"}));
    EXPECT_EQ(form.ListView1->items().text(0, 2), QStringLiteral("Income"));
    EXPECT_EQ(form.ListView1->items().text(1, 2), QStringLiteral("Loans"));

    // Every further click adds three more transactions, and no account.
    form.PushButton7_Click();
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "2");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*), count(distinct TransactionDate) from Transactions")), "6|1");
    EXPECT_EQ(form.Label33->text(), QStringLiteral("Balance: -240"));
}

TEST_F(SampleData, AccountsAreToppedUpToTwoAndTheLowestAndHighestAreUsed)
{
    const struct {
        const char* existing;
        const char* accounts;
        const char* booked;
    } cases[] = {
        {"(1, 'Savings')", "1|Savings; 2|Loans", "2; 1; 2"},
        {"(7, 'Middle'), (3, 'Low'), (12, 'High')", "3|Low; 7|Middle; 12|High", "12; 3; 12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.existing);
        testing_support::LedgerEnvironment world;
        world.placeLedger();
        world.sqlite(QStringLiteral("insert into Accounts (AccountID, AccountName) values ") + c.existing);
        Form1 window;
        window.Form_Load();
        window.PushButton7_Click();
        EXPECT_EQ(world.rows(QStringLiteral("select AccountID, AccountName from Accounts")), c.accounts);
        EXPECT_EQ(world.rows(QStringLiteral("select AccountID from Transactions order by TransactionNumber")), c.booked);
    }
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(SampleData, TodayIsStoredWhateverTheUsersDateFormat)
{
    const std::pair<QLocale, const char*> locales[] = {
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "dd/MM/yyyy"},
        {QLocale(QLocale::German, QLocale::Germany), "dd.MM.yyyy"},
        {QLocale(QLocale::Dutch, QLocale::Netherlands), "dd-MM-yyyy"}};
    for (const auto& [locale, shown] : locales) {
        SCOPED_TRACE(locale.name().toStdString());
        useLocale(locale);
        Form1 window;
        window.Form_Load();
        env.sqlite(QStringLiteral("delete from Transactions"));
        window.PushButton7_Click();
        EXPECT_TRUE(dialogs.prompts().empty());
        EXPECT_EQ(env.rows(QStringLiteral("select distinct TransactionDate from Transactions")), today());
        // The list shows the date back in the user's own short form.
        EXPECT_EQ(window.ListView1->items().text(0, 1), QDate::currentDate().toString(QString::fromLatin1(shown)));
        window.Form_QueryUnload();
    }
}

TEST(SampleStatements, DateTextIsTheUsersWhenTheDatabaseReadsItBackAsTheSameDay)
{
    const QDate day(2024, 3, 5);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QLocale::setDefault(us);
    EXPECT_EQ(statements::sampleDateText(day), QStringLiteral("3/5/2024"));
    // Day-first with "/": cdate("...") reads the user's own format first, so it stays.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(statements::sampleDateText(day), QStringLiteral("05/03/2024"));
    QLocale::setDefault(us);
    EXPECT_EQ(statements::sampleInsert(QStringLiteral("3/5/2024"), QStringLiteral("Business trip"), 2, 135, 120),
              QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                             "WithdrawalAmount,DepositAmount,Taxable) values (cdate(\"3/5/2024\"),'Business trip',"
                             "2,135,120,0)"));
}
