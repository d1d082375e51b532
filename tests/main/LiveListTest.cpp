// The list reloaded for someone else's change (another desktop's commit on a server
// ledger, another process's on a ledger file): the user stays where they were.
#include "tests/main/MainWindowFixture.h"
#include "tests/support/OtherCopy.h"

#include <QScrollBar>
#include <QTest>

using namespace mainwindow;
using testing_support::OtherCopy;

namespace {
enum { Id, Date, Account, Description, Withdrawal };
}

TEST_F(HouseholdTest, AReloadForOthersKeepsTheSortTheCurrentRowTheTicksAndTheTopRow)
{
    for (int i = 1; i <= 300; ++i)
        add(QStringLiteral("row %1").arg(i, 3, 10, QChar(u'0')), QString::number(i));
    start();
    form.show();
    form.ListView1_ColumnClick(Withdrawal + 1);   // by withdrawal, ascending
    form.ListView1_ColumnClick(Withdrawal + 1);   // descending: row 300 first
    TransactionList& list = *form.ListView1;
    TransactionListModel& rows = list.items();
    list.setCurrentRow(rows.viewRowOfId(120));
    rows.setData(rows.index(rows.viewRowOfId(7), 0), Qt::Checked, Qt::CheckStateRole);
    rows.setData(rows.index(rows.viewRowOfId(250), 0), Qt::Checked, Qt::CheckStateRole);
    list.scrollTo(rows.index(rows.viewRowOfId(150), 0), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(rows.idAt(list.rowAt(0)), 150);

    // Theirs: a row added on top of the sort, one changed, one deleted.
    add(QStringLiteral("new"), QStringLiteral("999"));
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = 'changed' where TransactionNumber = 121"));
    env.sqlite(QStringLiteral("delete from Transactions where TransactionNumber = 250"));
    form.othersChanged();

    EXPECT_EQ(rows.totalCount(), 300);
    EXPECT_EQ(list.shownText(0, Withdrawal), "$999.00");   // still sorted, descending
    EXPECT_EQ(rows.idAt(list.currentRow()), 120);
    EXPECT_EQ(rows.checkedIds(), (QSet<qint64>{7}));
    EXPECT_EQ(rows.idAt(list.rowAt(0)), 150);
    EXPECT_EQ(list.shownText(rows.viewRowOfId(121), Description), "changed");
    EXPECT_EQ(summary().value(0), "Widrawal: $45,899.00");   // 300*301/2 - 250 + 999
}

// Another process on the same ledger file: `tallyfold --import` from a terminal. The
// open window shows its rows by itself, where the user is, and its undo names the
// import the list now shows; the window's own changes never reload it a second time.
TEST_F(HouseholdTest, AnImportFromTheCommandLineShowsInTheOpenWindowWhereTheUserIs)
{
    for (int i = 1; i <= 60; ++i)
        add(QStringLiteral("row %1").arg(i, 2, 10, QChar(u'0')), QString::number(i));
    start();
    form.show();
    form.ListView1_ColumnClick(Withdrawal + 1);
    TransactionList& list = *form.ListView1;
    TransactionListModel& rows = list.items();
    rows.setData(rows.index(rows.viewRowOfId(7), 0), Qt::Checked, Qt::CheckStateRole);
    list.setCurrentRow(rows.viewRowOfId(32));
    list.scrollTo(rows.index(rows.viewRowOfId(30), 0), QAbstractItemView::PositionAtTop);

    const QString statement = env.writeFile(QStringLiteral("four.csv"), "Date,Description,Amount\n"
                                                                        "2024-03-07,Tea,-2.17\n"
                                                                        "2024-03-08,Bread,-3.41\n"
                                                                        "2024-03-09,Milk,-1.93\n"
                                                                        "2024-03-10,Refund,5.29\n");
    const auto imported = env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM),
                                               {QStringLiteral("--import"), statement, QStringLiteral("--account"),
                                                QStringLiteral("Household")},
                                               {QStringLiteral("LC_ALL=C.UTF-8")});
    ASSERT_EQ(imported.status, 0) << imported.errors.toStdString();
    // The menu names the import only with its rows in the list, even before the
    // window's own look at the file.
    form.updateListMenu();
    EXPECT_EQ(form.mnuUndo->text(), "Undo Import 4 transactions from four.csv\tCtrl+Z");
    EXPECT_EQ(rows.totalCount(), 64);
    EXPECT_EQ(list.shownText(0, Withdrawal), "");   // still by withdrawal: the deposit first
    EXPECT_EQ(rows.idAt(list.currentRow()), 32);
    EXPECT_EQ(rows.idAt(list.rowAt(0)), 30);
    EXPECT_EQ(rows.checkedIds(), (QSet<qint64>{7}));

    // Another copy's change shows by itself.
    OtherCopy other;
    ASSERT_EQ(other.send(QStringLiteral("open")), "opened");
    ASSERT_EQ(other.send(QStringLiteral("add theirs")), "added");
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows.totalCount() == 65; }, 5000));
    EXPECT_EQ(rows.idAt(list.currentRow()), 32);

    // Its own change reloads the list once, and the watch finds nothing more.
    const int reloads = form.reloads();
    form.PushButton4_Click();
    QTest::qWait(1500);
    EXPECT_EQ(form.reloads(), reloads + 1);
    EXPECT_EQ(rows.totalCount(), 66);

    // The import undone here takes away the rows the list showed.
    form.mnuUndo_Click();
    form.mnuUndo_Click();
    EXPECT_EQ(rows.totalCount(), 61);
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join(u'\n').toStdString();
}
