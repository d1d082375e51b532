// The main window over a ledger file it cannot trust: the user hears of it once, the
// list shows what can be read and says it may be incomplete, every change is refused
// with one message per command, and the file keeps every byte.
#include "tests/main/MainWindowFixture.h"

#include "data/Ledger.h"
#include "shell/Dialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

using platform::vbOK;
using testing_support::fileHash;

class LedgerProblem : public HouseholdTest {
protected:
    // Rows enough to span many pages, in the file as the program leaves it.
    void fill()
    {
        env.sqlite(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                  "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                  "WithdrawalAmount,DepositAmount,Taxable) select '2024-01-01', 'row ' || i, %2, 1, 0, 0 "
                                  "from n").arg(kRows).arg(account));
        data::createConnection();
        data::connection().Open(data::connectionString());
        data::releaseConnection();
    }
    void zero(const QString& pageQuery)
    {
        testing_support::zeroPage(env.workingDatabase(), std::stoi(env.rows(pageQuery)));
    }
    static constexpr int kRows = 3000;
};

TEST_F(LedgerProblem, ADamagedLedgerIsToldOnceListsWhatCanBeReadAndRefusesEachCommandOnce)
{
    fill();
    zero(QStringLiteral("select pageno from dbstat where name = 'Transactions' and pagetype = 'leaf' "
                        "order by pageno limit 1 offset 10"));
    const QByteArray before = fileHash(env.workingDatabase());
    dialogs.answerMessage(vbOK);
    start();
    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString notice = dialogs.messages()[0];
    EXPECT_TRUE(notice.contains(QStringLiteral("damaged")));
    EXPECT_TRUE(notice.contains(env.workingDatabase()));
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_GT(form.ListView1->count(), 0);
    EXPECT_LT(form.ListView1->count(), kRows);
    // Marked, without anything moving.
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("Tallyfold - ")));
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("incomplete")));
    EXPECT_EQ(form.Frame1->toolTip(), notice);

    // Delete, duplicate and the example data (five writes) each say so once.
    for (auto command : {&mainwindow::Form1::PushButton3_Click, &mainwindow::Form1::PushButton4_Click,
                         &mainwindow::Form1::PushButton7_Click}) {
        dialogs.clear();
        dialogs.answerMessage(vbOK);
        (form.*command)();
        EXPECT_EQ(dialogs.messages(), QStringList{notice});
        EXPECT_TRUE(dialogs.reports().isEmpty());
    }
    closeWindow(form);
    EXPECT_EQ(fileHash(env.workingDatabase()), before);
}

TEST_F(LedgerProblem, TheBackgroundCheckFindsDamageTheListNeverReadAndMarksTheWindow)
{
    fill();
    zero(QStringLiteral("select rootpage from sqlite_master where name = 'tblReport'"));
    const QByteArray before = fileHash(env.workingDatabase());
    start();
    EXPECT_EQ(form.ListView1->count(), kRows);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tallyfold"));
    dialogs.answerMessage(vbOK);
    form.show();   // the check starts once the list is on screen
    for (QDeadlineTimer deadline(20000); dialogs.messages().isEmpty() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("damaged")));
    dialogs.clear();
    dialogs.answerMessage(vbOK);
    form.PushButton3_Click();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), std::to_string(kRows));
    closeWindow(form);
    EXPECT_EQ(fileHash(env.workingDatabase()), before);
}

TEST_F(LedgerProblem, AFileThatIsNoLedgerIsReportedOnceAndLeftAsItWas)
{
    env.sqlite(QStringLiteral("drop table Transactions; drop table Accounts; create table Letters (t)"));
    const QByteArray before = fileHash(env.workingDatabase());
    dialogs.answerMessage(vbOK);
    start();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("not a Tallyfold ledger")));
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_EQ(form.ListView1->count(), 0);
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("not opened")));
    closeWindow(form);
    EXPECT_EQ(fileHash(env.workingDatabase()), before);
}
