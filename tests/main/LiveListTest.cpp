// The list reloaded for someone else's change (another desktop's commit on a server
// ledger): the user stays where they were.
#include "tests/main/MainWindowFixture.h"

#include <QScrollBar>

using namespace mainwindow;

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
