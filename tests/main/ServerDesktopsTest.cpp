// Two desktops on one server ledger at once: this window, and another desktop in a
// process of its own writing the same ledger. What the other commits shows here by
// itself; neither loses a change; a collision is told plainly.
#include "tests/main/ServerDesktopFixture.h"

#include "data/LedgerMessages.h"
#include "data/StepNames.h"
#include "data/Undo.h"
#include "editor/Form2.h"
#include "tests/support/OtherCopy.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

using namespace mainwindow;
using testing_support::OtherCopy;

namespace {
enum { Id, Date, Account, Description, Withdrawal };
}

TEST_F(ServerDesktopTest, AnotherDesktopsImportShowsHereByItselfWhereTheUserIs)
{
    seed(300);
    start();
    form.show();
    form.ListView1_ColumnClick(Withdrawal + 1);
    form.ListView1_ColumnClick(Withdrawal + 1);   // descending: row 300 first
    TransactionList& list = *form.ListView1;
    TransactionListModel& rows = list.items();
    list.setCurrentRow(rows.viewRowOfId(120));
    rows.setData(rows.index(rows.viewRowOfId(7), 0), Qt::Checked, Qt::CheckStateRole);
    list.scrollTo(rows.index(rows.viewRowOfId(150), 0), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(rows.idAt(list.rowAt(0)), 150);

    const int before = form.reloads();
    const QString statement =
        env.writeFile(QStringLiteral("statement.csv"), "Date,Description,Amount\n2024-03-06,Refund,-999.00\n");
    const auto other = env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM),
                                            {QStringLiteral("--import"), statement, QStringLiteral("--account"),
                                             QStringLiteral("Household")});
    ASSERT_EQ(other.status, 0) << other.errors.toStdString();
    ASSERT_TRUE(reloadedSince(before));

    EXPECT_EQ(rows.totalCount(), 301);
    EXPECT_EQ(list.shownText(0, Withdrawal), "$999.00");   // theirs, on top of the sort kept
    EXPECT_EQ(list.shownText(0, Description), "Refund");
    EXPECT_EQ(rows.idAt(list.currentRow()), 120);
    EXPECT_EQ(rows.checkedIds(), (QSet<qint64>{7}));
    EXPECT_EQ(rows.idAt(list.rowAt(0)), 150);
    EXPECT_EQ(summary().value(0), "Widrawal: $46,149.00");   // 300*301/2 + 999
    EXPECT_EQ(summary().value(2), "Balance: -$46,149.00");
}

TEST_F(ServerDesktopTest, ChangesToDifferentRowsFromTwoDesktopsAreBothKeptAndShownOnBoth)
{
    seed(3);
    start();
    OtherCopy other;
    ASSERT_EQ(other.send(QStringLiteral("open")), "opened");

    // Each desktop changes a row of its own, neither having seen the other's change.
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(1));
    const int before = form.reloads();
    form.PushButton3_Click();   // deletes 1 here
    EXPECT_EQ(other.send(QStringLiteral(
                  "exec update Transactions set TransactionDescription = 'theirs' where TransactionNumber = 2")),
              "done 1");
    EXPECT_EQ(other.send(QStringLiteral("add added there")), "added");

    EXPECT_EQ(server(QStringLiteral("select transactionnumber, transactiondescription from transactions order by 1")),
              "2|theirs; 3|row 003; 4|added there");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.ListView1->items().totalCount() == 3 && form.reloads() > before + 1; },
                                30000));
    EXPECT_EQ(form.ListView1->items().text(form.ListView1->items().viewRowOfId(2), Description), "theirs");
    EXPECT_GE(form.ListView1->items().viewRowOfId(4), 0);
    EXPECT_LT(form.ListView1->items().viewRowOfId(1), 0);

    // And this desktop's own step is still its to undo.
    form.mnuUndo_Click();
    EXPECT_EQ(server(QStringLiteral("select transactionnumber, transactiondescription from transactions order by 1")),
              "1|row 001; 2|theirs; 3|row 003; 4|added there");
    EXPECT_TRUE(other.told().isEmpty()) << other.told().join(u'\n').toStdString();
}

TEST_F(ServerDesktopTest, ASaveOverARowAnotherDesktopChangedKeepsBothAndAsksOnlyAboutAFieldBothChanged)
{
    testing_support::sharedPgServer().run(
        QStringLiteral("insert into transactions (transactiondate, transactiondescription, accountid, "
                       "withdrawalamount, depositamount, taxable) values ('2024-03-05', 'Rent', 1, 700, null, false)"),
        database);
    start();
    editor::Form2 editor(&form);
    QObject::connect(&form, &Form1::ledgerChangedElsewhere, &editor, &editor::Form2::othersChanged);
    editor.m_ID = QStringLiteral("1");
    editor.Form_Load();

    OtherCopy other;
    ASSERT_EQ(other.send(QStringLiteral("open")), "opened");
    ASSERT_EQ(other.send(QStringLiteral("exec update Transactions set WithdrawalAmount = 725, "
                                        "TransactionDescription = 'Rent March' where TransactionNumber = 1")),
              "done 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.changedNotice() && editor.changedNotice()->isVisibleTo(&editor); },
                                30000));

    editor.Text1->setText(QStringLiteral("Rent (March)"));
    editor.Option1->setChecked(true);
    dialogs.answerMessage(platform::vbYes);   // theirs where both changed: no, yours
    dialogs.answerMessage(platform::vbOK);
    editor.PushButton2->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    const QString told = dialogs.messages().first();
    EXPECT_TRUE(told.contains(QStringLiteral("Description: theirs \"Rent March\", yours \"Rent (March)\""))) << qPrintable(told);
    EXPECT_FALSE(told.contains(QStringLiteral("Withdrawal:"))) << qPrintable(told);   // theirs alone changed it
    // Their withdrawal and this desktop's description and taxable, together.
    EXPECT_EQ(server(QStringLiteral("select transactiondescription, withdrawalamount, taxable from transactions")),
              "Rent (March)|725|t");
    EXPECT_TRUE(editor.isUnloaded());
}

TEST_F(ServerDesktopTest, ADesktopKilledInTheMiddleOfALargeImportLeavesNoRowOfItAndThisOneWorksOn)
{
    seed(5);
    start();
    QByteArray csv = "Date,Description,Amount\n";
    for (int i = 1; i <= 200000; ++i)
        csv += "2024-01-01,Bulk " + QByteArray::number(i) + ",-1.00\n";
    const QString statement = env.writeFile(QStringLiteral("large.csv"), csv);

    QProcess other;
    other.setProcessEnvironment(desktopEnvironment());
    other.start(QStringLiteral(TALLYFOLD_PROGRAM),
                {QStringLiteral("--import"), statement, QStringLiteral("--account"), QStringLiteral("Household")});
    ASSERT_TRUE(other.waitForStarted());
    // In the middle of its write: its transaction has written rows the server has not
    // yet committed.
    const QString writing = QStringLiteral(
        "select count(*) from pg_stat_activity where datname = current_database() and backend_xid is not null "
        "and pid <> pg_backend_pid()");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server(writing) == "1" || other.state() == QProcess::NotRunning; },
                                60000));
    ASSERT_EQ(other.state(), QProcess::Running) << "the import ended before it could be killed";
    other.kill();   // SIGKILL
    ASSERT_TRUE(other.waitForFinished());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server(writing) == "0"; }, 30000));

    EXPECT_EQ(server(QStringLiteral("select count(*), sum(withdrawalamount) from transactions")), "5|15");
    EXPECT_EQ(server(QStringLiteral("select count(*) from importkeys")), "0");
    EXPECT_EQ(server(QStringLiteral("select count(*) from undosteps")), "0");   // nor a step to undo it

    // This desktop goes on: a change of its own, and its undo, go through.
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(5));
    form.PushButton3_Click();
    EXPECT_EQ(server(QStringLiteral("select count(*) from transactions")), "4");
    EXPECT_EQ(form.ListView1->items().totalCount(), 4);
    form.mnuUndo_Click();
    EXPECT_EQ(server(QStringLiteral("select count(*), sum(withdrawalamount) from transactions")), "5|15");
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join(u'\n').toStdString();
}

TEST_F(ServerDesktopTest, DeletingARowAnotherDesktopAlreadyDeletedTellsSoAndChangesNothingElse)
{
    seed(3);
    start();
    OtherCopy other;
    ASSERT_EQ(other.send(QStringLiteral("open")), "opened");
    ASSERT_EQ(other.send(QStringLiteral("exec delete from Transactions where TransactionNumber = 2")), "done 1");

    // Chosen here before this desktop heard of it.
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(2));
    dialogs.answerMessage(platform::vbOK);
    form.PushButton3_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first(),
              "Transaction 2 had already been deleted, on another desktop or by another program. Nothing was changed.");
    EXPECT_EQ(server(QStringLiteral("select transactionnumber from transactions order by 1")), "1; 3");
    EXPECT_EQ(column(Description), (QStringList{"row 001", "row 003"}));
    // No step of this desktop's to undo: it changed nothing.
    EXPECT_EQ(data::undoLabel(), QString());
}

TEST_F(ServerDesktopTest, ANewTransactionForAnAccountAnotherDesktopDeletedIsRefusedAndNothingIsWritten)
{
    start();
    editor::Form2 added(&form);
    added.Form_Load();
    added.Combo1->setCurrentIndex(added.Combo1->findText(QStringLiteral("Household")));
    added.Text1->setText(QStringLiteral("Salary"));
    added.Text3->setText(QStringLiteral("1000"));

    OtherCopy other;
    ASSERT_EQ(other.send(QStringLiteral("open")), "opened");
    ASSERT_EQ(other.send(QStringLiteral("exec delete from Accounts where AccountID = 1")), "done 1");
    dialogs.answerMessage(platform::vbOK);
    added.PushButton2->click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("The account \"Household\" no longer exists: someone else "
                                                             "has deleted it. Nothing was saved; choose another account.")});
    EXPECT_FALSE(added.isUnloaded());
    EXPECT_EQ(server(QStringLiteral("select count(*) from transactions")), "0");
    EXPECT_EQ(data::undoLabel(), QString());
}

TEST_F(ServerDesktopTest, EachDesktopUndoesItsOwnStepsAndOneWhoseRowTheOtherChangedIsRefused)
{
    seed(2);
    start();
    OtherCopy other;
    ASSERT_EQ(other.send(QStringLiteral("open")), "opened");

    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(1));
    form.PushButton4_Click();   // duplicates 1 as 3, here
    // 4, there: an import, a step of that desktop's own. (A desktop is its login role on
    // its computer: another role here is another desktop.)
    const QString statement =
        env.writeFile(QStringLiteral("theirs.csv"), "Date,Description,Amount\n2024-03-06,theirs,-5.00\n");
    auto& pg = testing_support::sharedPgServer();
    ASSERT_EQ(pg.createRole(QStringLiteral("clerk"), {}), QString());
    ASSERT_TRUE(pg.run(QStringLiteral("grant select, insert, update, delete on all tables in schema public to clerk; "
                                      "grant usage, select, update on all sequences in schema public to clerk"),
                       database)
                    .ok());
    const auto imported = env.runWithoutScreen(
        QStringLiteral(TALLYFOLD_PROGRAM),
        {QStringLiteral("--import"), statement, QStringLiteral("--account"), QStringLiteral("Household")},
        {QStringLiteral("TALLYFOLD_LEDGER=") + pg.conninfo(database, QStringLiteral("clerk"))});
    ASSERT_EQ(imported.status, 0) << imported.errors.toStdString();
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(2));
    form.PushButton3_Click();   // deletes 2, here

    // The newest step is theirs, but undo here takes back this desktop's own.
    form.mnuUndo_Click();
    EXPECT_EQ(server(QStringLiteral("select transactionnumber, transactiondescription from transactions order by 1")),
              "1|row 001; 2|row 002; 3|row 001; 4|theirs");

    // Their change to the duplicate since: its undo is refused, and nothing changes.
    ASSERT_EQ(other.send(QStringLiteral(
                  "exec update Transactions set TransactionDescription = 'copy, theirs' where TransactionNumber = 3")),
              "done 1");
    dialogs.answerMessage(platform::vbOK);
    form.mnuUndo_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first(),
              data::undoConflictMessage(data::steps::duplicateTransaction(QStringLiteral("1")),
                                        QStringLiteral("Transactions"), 3, false));
    EXPECT_EQ(server(QStringLiteral("select transactionnumber, transactiondescription from transactions order by 1")),
              "1|row 001; 2|row 002; 3|copy, theirs; 4|theirs");
    // Their import is still theirs to undo.
    EXPECT_EQ(server(QStringLiteral("select label from undosteps where desktop like 'clerk@%' and not undone")),
              data::steps::importStatement(1, QStringLiteral("theirs.csv")).toStdString());
}

TEST_F(ServerDesktopTest, AnUndoRefusedForAnotherDesktopsChangeNamesThatDesktop)
{
    seed(1);
    start();
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(1));
    form.PushButton4_Click();   // duplicates 1 as 2, here

    // Ben's desktop edits the duplicate, as a command of its own.
    auto& pg = testing_support::sharedPgServer();
    ASSERT_EQ(pg.createRole(QStringLiteral("ben"), {}), QString());
    ASSERT_TRUE(pg.run(QStringLiteral("grant select, insert, update, delete on all tables in schema public to ben; "
                                      "grant usage, select, update on all sequences in schema public to ben"),
                       database)
                    .ok());
    ledgerVariable.set(pg.conninfo(database, QStringLiteral("ben")).toUtf8().constData());
    OtherCopy ben;
    ledgerVariable.set(conninfo.toUtf8().constData());
    ASSERT_EQ(ben.send(QStringLiteral("open")), "opened");
    ASSERT_EQ(ben.send(QStringLiteral(
                  "step update Transactions set TransactionDescription = 'copy, Ben''s' where TransactionNumber = 2")),
              "done 1");

    // Named as role@computer; the computer's user too where it is not the role's name.
    const QString desktop = QString::fromStdString(server(QStringLiteral("select desktop from undosteps where desktop like 'ben@%'")));
    ASSERT_TRUE(desktop.startsWith(QStringLiteral("ben@") + QSysInfo::machineHostName() + u'/')) << desktop.toStdString();
    const QString named = desktop.endsWith(QStringLiteral("/ben")) ? desktop.chopped(4) : desktop;

    dialogs.answerMessage(platform::vbOK);
    form.mnuUndo_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages().first(),
              QStringLiteral("\"%1\" cannot be undone: transaction 2 has been changed since on the desktop %2."
                             "\r\n\r\nNothing was changed. The step has been taken out of the undo history.")
                  .arg(data::steps::duplicateTransaction(QStringLiteral("1")), named));
    EXPECT_EQ(server(QStringLiteral("select transactionnumber, transactiondescription from transactions order by 1")),
              "1|row 001; 2|copy, Ben's");
}
