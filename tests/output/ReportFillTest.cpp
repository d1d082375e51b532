// The copy of the ledger into tblReport on a real ledger file: the insert's exact text,
// what is copied, a row that cannot be copied, and copies cut short, which must leave
// the last whole copy in place.
#include "data/Ledger.h"
#include "output/ReportFill.h"
#include "platform/AppError.h"
#include "shell/ErrorTrap.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/LedgerEnvironment.h"

#include <QDate>
#include <cmath>
#include <gtest/gtest.h>

using namespace output;

namespace {

class ReportFill : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.openLedger();
        bank = env.addAccount(QStringLiteral("O''Brien & Sons"));
    }
    void add(const QString& values) { env.addTransaction(values); }
    bool fill()
    {
        shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
        return fillReportTable(trap);
    }
    std::string copied() const { return env.rows(QStringLiteral("select * from tblReport")); }

    testing_support::LedgerEnvironment env;
    testing_support::ScriptedDialogs dialogs;
    qint64 bank = 0;
};

} // namespace

TEST(ReportInsert, IsBuiltFromTheDateTheTwoPlainAmountsAndTheQuotedTexts)
{
    EXPECT_EQ(reportInsert(QDate(2021, 3, 5), 12.5, 0, QStringLiteral("O'Brien"), QStringLiteral("it's 'quoted'")),
              "insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values "
              "(CDate('03/05/2021'),12.5,0,'O''Brien','it''s ''quoted''')");
    EXPECT_EQ(reportInsert(QDate(1999, 12, 31), -0.1, 1234567.25, QString(), QString()),
              "insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values "
              "(CDate('12/31/1999'),-0.1,1234567.25,'','')");
    // What another program may have stored: Null, a date that is some other text, a NUL.
    EXPECT_EQ(reportInsert(QVariant(), 0, 0, QVariant(), QStringLiteral("a") + QChar(0) + QStringLiteral("'b")),
              "insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values "
              "(Null,0,0,Null,'a'&Chr(0)&'''b')");
    EXPECT_EQ(reportInsert(QStringLiteral("2021-02-30"), 1, 2, QStringLiteral("x"), QStringLiteral("y")),
              "insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values "
              "('2021-02-30',1,2,'x','y')");
    EXPECT_THROW(reportInsert(QDate(2021, 3, 5), INFINITY, 0, QString(), QString()), platform::AppError);
    EXPECT_THROW(reportInsert(QDate(2021, 3, 5), 0, NAN, QString(), QString()), platform::AppError);
}

TEST_F(ReportFill, CopiesEveryTransactionWithItsAccountAndNullAmountsAsZero)
{
    const QString id = QString::number(bank);
    add(QStringLiteral("'2021-03-05','Rent ''March''',%1,null,1250.75,1").arg(id));
    add(QStringLiteral("'2021-12-25','Gift',%1,20,null,0").arg(id));
    add(QStringLiteral("'2022-01-01','No account any more',999,5,5,0"));
    env.sqlite(QStringLiteral("insert into tblReport (Account) values ('left from the last run')"));
    const char* expected = "2021-03-05|1250.75|0.0|O'Brien & Sons|Rent 'March'; "
                           "2021-12-25|0.0|20.0|O'Brien & Sons|Gift";
    ASSERT_TRUE(fill());
    EXPECT_EQ(copied(), expected);
    // Run again: emptied first, the same copy.
    ASSERT_TRUE(fill());
    EXPECT_EQ(copied(), expected);
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(ReportFill, ARowThatCannotBeWrittenIsReportedAndTheOthersAreStillCopied)
{
    const QString id = QString::number(bank);
    add(QStringLiteral("'2021-03-05','first',%1,1,0,0").arg(id));
    add(QStringLiteral("'2021-03-06',null,%1,2,0,0").arg(id));   // a Null description is copied as Null
    add(QStringLiteral("'2021-03-07','third',%1,3,0,0").arg(id));
    add(QStringLiteral("'2021-03-08','refused',%1,4,0,0").arg(id));
    add(QStringLiteral("'2021-03-09','fifth',%1,5,0,0").arg(id));
    // The database itself refusing one row undoes that row only.
    env.sqlite(QStringLiteral("create trigger refuse before insert on tblReport when new.Description = 'refused' "
                              "begin select raise(abort, 'row refused'); end"));
    dialogs.expectReport(QStringLiteral("Form1.PushButton5_Click 122"));
    ASSERT_TRUE(fill());
    EXPECT_EQ(dialogs.reportLines(), (QStringList{"Form1.PushButton5_Click 122"}));
    EXPECT_TRUE(dialogs.reports().last().startsWith(QStringLiteral("row refused\r\n")));
    EXPECT_EQ(copied(), "2021-03-05|0.0|1.0|O'Brien & Sons|first; 2021-03-06|0.0|2.0|O'Brien & Sons|NULL; "
                        "2021-03-07|0.0|3.0|O'Brien & Sons|third; 2021-03-09|0.0|5.0|O'Brien & Sons|fifth");
}

TEST_F(ReportFill, RowsAnotherProgramWroteAreCopiedWholeSoTheTotalsAgreeWithTheBalance)
{
    const QString id = QString::number(bank);
    add(QStringLiteral("null,'no date',%1,700,0,0").arg(id));
    add(QStringLiteral("'2021-02-30','no such day',%1,0,1,0").arg(id));
    add(QStringLiteral("'2021-03-05','nul' || char(0) || 'inside',%1,0,2,0").arg(id));
    ASSERT_TRUE(fill());
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(env.rows(QStringLiteral("select [Date], ValueIn, ValueOut, hex(Description) from tblReport")),
              "NULL|0.0|700.0|6E6F2064617465; 2021-02-30|1.0|0.0|6E6F207375636820646179; "
              "2021-03-05|2.0|0.0|6E756C00696E73696465");
    // The main window's balance counts the same: 1 + 2 - 700.
    EXPECT_EQ(env.rows(QStringLiteral("select sum(ValueIn) - sum(ValueOut) from tblReport")), "-697.0");
}

TEST_F(ReportFill, ACopyCutShortIsReportedOnceAndLeavesTheLastWholeCopy)
{
    const QString id = QString::number(bank);
    add(QStringLiteral("'2021-03-05','kept',%1,1,0,0").arg(id));
    ASSERT_TRUE(fill());
    const std::string whole = copied();
    // Enough new rows that the copy needs more room than the file may take.
    env.sqlite(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 400) "
                              "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                              "WithdrawalAmount,DepositAmount,Taxable) "
                              "select '2021-04-01', printf('%.200c', 'x'), %1, i, 0, 0 from n")
                   .arg(id));

    struct Case { const char* what; std::function<void()> sabotage; const char* line; };
    const Case cases[] = {
        {"the disk full", [&] {
             const std::string pages = env.rows(QStringLiteral("pragma page_count"));
             data::connection().Execute(QStringLiteral("PRAGMA max_page_count = %1").arg(QString::fromStdString(pages)));
         }, "Form1.PushButton5_Click 122"},
        {"the ledger unreadable", [&] { env.sqlite(QStringLiteral("alter table Accounts rename to Gone")); },
         "Form1.PushButton5_Click 114"},
        {"no connection", [] { data::releaseConnection(); }, "Form1.PushButton5_Click 110"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.clear();
        c.sabotage();
        dialogs.expectReport(QString::fromLatin1(c.line));
        EXPECT_FALSE(fill());
        EXPECT_EQ(dialogs.reportLines(), QStringList{QString::fromLatin1(c.line)});
        EXPECT_EQ(copied(), whole);
    }
}
