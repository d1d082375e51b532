// Find as you type through the real window: the bar over the list, the rows and the
// summary of what is shown, commands on the filtered list, and the list as it was
// once the bar closes.
#include "tests/main/MainWindowFixture.h"

#include "main/FindBar.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace mainwindow;

namespace {
enum { Id, Date, Account, Description, Withdrawal, Deposit, Taxable };

// The first interface under `from` (itself included) with the role and name, walking
// children as a screen reader does; nullptr when it cannot be reached.
QAccessibleInterface* reach(QAccessibleInterface* from, QAccessible::Role role, const QString& name, int depth = 0)
{
    if (!from || depth > 12)
        return nullptr;
    if (from->role() == role && from->text(QAccessible::Name) == name)
        return from;
    for (int i = 0, n = std::min(from->childCount(), 200); i < n; ++i) {
        if (QAccessibleInterface* found = reach(from->child(i), role, name, depth + 1))
            return found;
    }
    return nullptr;
}
} // namespace

class Find : public HouseholdTest {
protected:
    void typeInFind(const QString& text) { QTest::keyClicks(form.findBar()->field(), text); }
    QString found() const { return form.findBar()->countText(); }
    QLineEdit* field() const { return form.findBar()->field(); }
};

TEST_F(Find, TheListAndSummaryShowOnlyWhatMatchesAsTheUserTypes)
{
    add("Plumber, kitchen", "42.5", "0");
    add("Groceries", "10", "0");
    add("Plumbing refund", "0", "42.5");
    add("Salary", "0", "1000");
    start();
    const QRect listBefore = form.ListView1->geometry();
    const QRect summaryBefore = form.Frame1->geometry();

    form.mnuFind_Click();
    EXPECT_TRUE(form.findBar()->isVisibleTo(&form));
    EXPECT_EQ(found(), "4 of 4");
    typeInFind("plumb");
    EXPECT_EQ(column(Description), (QStringList{"Plumber, kitchen", "Plumbing refund"}));
    EXPECT_EQ(found(), "2 of 4");
    EXPECT_EQ(form.Frame1->title(), "Summary (shown rows)");
    EXPECT_EQ(summary(), (QStringList{"Widrawal: $42.50", "Deposit: $42.50", "Balance: $0.00", "Widrawal: 42.5",
                                      "Deposit: 42.5", "Balance: 0"}));
    typeInFind("er");
    EXPECT_EQ(column(Description), QStringList{"Plumber, kitchen"});
    EXPECT_EQ(summary().value(2), "Balance: -$42.50");

    // Everything typed away: every row again, and the ledger's own summary.
    field()->clear();
    EXPECT_EQ(column(Description).size(), 4);
    EXPECT_EQ(form.Frame1->title(), "Summary");
    EXPECT_EQ(summary().value(2), "Balance: $990.00");

    // Amounts, dates and exclusions reach the list as well as words.
    typeInFind(">40 -salary");
    EXPECT_EQ(column(Description), (QStringList{"Plumber, kitchen", "Plumbing refund"}));
    field()->setText("nothing like it");
    EXPECT_TRUE(column(Description).isEmpty());
    EXPECT_EQ(found(), "0 of 4");
    EXPECT_EQ(summary().value(0), "Widrawal: $0.00");

    // The bar lies over the list: nothing in the window moved.
    EXPECT_EQ(form.ListView1->geometry(), listBefore);
    EXPECT_EQ(form.Frame1->geometry(), summaryBefore);
    const QRect bar = form.findBar()->geometry();
    EXPECT_TRUE(listBefore.contains(bar)) << "the bar stays inside the list";
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Find, ClosingShowsTheListExactlyAsItWasBefore)
{
    for (int i = 0; i < 120; ++i)
        add(QStringLiteral("row %1").arg(i, 3, 10, QLatin1Char('0')), QString::number(i % 7 + 1));
    start();
    form.show();
    QApplication::setActiveWindow(&form);
    form.ListView1_ColumnClick(Description + 1);
    form.ListView1_ColumnClick(Description + 1);   // descending
    TransactionListModel& list = form.ListView1->items();
    ASSERT_TRUE(list.setData(list.index(5, 0), Qt::Checked, Qt::CheckStateRole));
    form.ListView1->setCurrentRow(90);
    const QString current = form.ListView1->selectedText();
    const int scroll = form.ListView1->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);
    const QStringList rowsBefore = column(Description);
    const QStringList summaryBefore = summary();

    form.mnuFind_Click();
    typeInFind("row 00");
    EXPECT_EQ(found(), "11 of 120");   // row 000 to row 009, and row 100
    EXPECT_EQ(column(Description).front(), "row 100");   // the sort holds under the filter
    form.ListView1->setCurrentRow(3);
    QTest::keyClick(field(), Qt::Key_Escape);

    EXPECT_FALSE(form.findBar()->isVisible());
    EXPECT_EQ(column(Description), rowsBefore);
    EXPECT_EQ(form.ListView1->selectedText(), current);
    EXPECT_EQ(form.ListView1->verticalScrollBar()->value(), scroll);
    EXPECT_TRUE(list.isChecked(5));
    EXPECT_EQ(summary(), summaryBefore);
    EXPECT_EQ(form.Frame1->title(), "Summary");

    // The close button does the same, and opening again starts from the text left.
    form.mnuFind_Click();
    EXPECT_EQ(field()->selectedText(), "row 00");
    typeInFind("row 1");
    QTest::mouseClick(form.findBar()->closeButton(), Qt::LeftButton);
    EXPECT_EQ(column(Description), rowsBefore);
    EXPECT_EQ(form.ListView1->selectedText(), current);
}

TEST_F(Find, AnEditedRowStaysShownUntilTheFilterChangesAndNewRowsShow)
{
    add("Plumber, kitchen");
    const qint64 refund = add("Plumbing refund");
    add("Groceries");
    start();
    form.mnuFind_Click();
    typeInFind("plumb");

    // What every command ends with: the list reloaded from the file.
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription='Gardener' where TransactionNumber=%1")
                   .arg(refund));
    const qint64 added = add("Window cleaner");
    form.ListData();
    EXPECT_EQ(column(Description), (QStringList{"Plumber, kitchen", "Gardener", "Window cleaner"}));
    EXPECT_EQ(found(), "3 of 4");
    EXPECT_EQ(form.Frame1->title(), "Summary (shown rows)");
    EXPECT_EQ(summary().value(3), "Widrawal: 3");

    // A change of filter drops them.
    typeInFind("e");
    EXPECT_EQ(column(Description), QStringList{"Plumber, kitchen"});
    EXPECT_EQ(column(Id).contains(QString::number(added)), false);
}

TEST_F(Find, DeleteDuplicateAndUndoWorkOnTheFilteredList)
{
    add("Plumber, kitchen", "5");
    const qint64 refund = add("Plumbing refund", "7");
    add("Groceries", "11");
    start();
    form.mnuFind_Click();
    typeInFind("plumb");
    form.ListView1->setCurrentRow(1);
    ASSERT_EQ(form.ListView1->selectedText(), QString::number(refund));

    form.PushButton3_Click();   // Delete Selected
    EXPECT_EQ(column(Description), QStringList{"Plumber, kitchen"});
    EXPECT_EQ(found(), "1 of 2");
    EXPECT_EQ(summary().value(3), "Widrawal: 5");

    form.mnuUndo_Click();
    EXPECT_EQ(column(Description), (QStringList{"Plumber, kitchen", "Plumbing refund"}));
    EXPECT_EQ(summary().value(3), "Widrawal: 12");

    form.ListView1->setCurrentRow(0);
    form.PushButton4_Click();   // Duplicate Selected
    EXPECT_EQ(column(Description), (QStringList{"Plumber, kitchen", "Plumbing refund", "Plumber, kitchen"}));
    EXPECT_EQ(found(), "3 of 4");
    EXPECT_EQ(env.rows("select count(*) from Transactions"), "4");
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Find, SortingAndTickingAffectOnlyTheShownRows)
{
    add("b plumber", "1");
    add("zebra", "2");
    add("a plumber", "3");
    add("c plumber", "4");
    start();
    form.mnuFind_Click();
    typeInFind("plumber");
    form.ListView1_ColumnClick(Description + 1);
    EXPECT_EQ(column(Description), (QStringList{"a plumber", "b plumber", "c plumber"}));
    form.ListView1_ColumnClick(Withdrawal + 1);
    form.ListView1_ColumnClick(Withdrawal + 1);
    EXPECT_EQ(column(Description), (QStringList{"c plumber", "a plumber", "b plumber"}));

    TransactionListModel& list = form.ListView1->items();
    ASSERT_TRUE(list.setData(list.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    form.closeFind();
    EXPECT_EQ(column(Description), (QStringList{"c plumber", "a plumber", "zebra", "b plumber"}));
    EXPECT_TRUE(list.isChecked(0));
    EXPECT_FALSE(list.isChecked(2));
}

TEST_F(Find, TheContextMenuOffersFindAndChartsWithTheirKeys)
{
    start();
    EXPECT_TRUE(form.mnuFind->text().startsWith(QStringLiteral("Find") + QChar(0x2026)));
    EXPECT_TRUE(form.mnuFind->text().endsWith("Ctrl+F"));
    EXPECT_TRUE(form.mnuCharts->text().startsWith(QStringLiteral("Charts") + QChar(0x2026)));
    EXPECT_TRUE(form.mnuCharts->text().endsWith("Ctrl+G"));
    EXPECT_TRUE(form.mnuList->actions().contains(form.mnuFind));

    form.show();
    QApplication::setActiveWindow(&form);
    form.ListView1->setFocus();
    QTest::keyClick(form.ListView1, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(form.findBar()->isVisible());
    EXPECT_TRUE(field()->hasFocus());
    EXPECT_FALSE(field()->toolTip().isEmpty());
}

TEST_F(Find, AScreenReaderReachesTheFieldFromTheWindowAndHearsItsCount)
{
    add("Plumber, kitchen");
    add("Groceries");
    start();
    form.show();
    QApplication::setActiveWindow(&form);
    form.ListView1->setFocus();
    QTest::keyClick(form.ListView1, Qt::Key_F, Qt::ControlModifier);
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&form);
    ASSERT_NE(window, nullptr);
    QAccessibleInterface* find = reach(window, QAccessible::EditableText, "Find");
    ASSERT_NE(find, nullptr) << "the find field is in the window's accessible tree";
    EXPECT_EQ(find->object(), field());
    EXPECT_EQ(find->text(QAccessible::Description), "2 of 2");
    EXPECT_TRUE(find->state().focused);
    typeInFind("plumb");
    EXPECT_EQ(find->text(QAccessible::Description), "1 of 2");
    EXPECT_NE(reach(window, QAccessible::Button, "Close Find"), nullptr);

    // The bar lies over the list's bottom rows and follows the list when it grows.
    form.resize(form.width() + 80, form.height() + 60);
    const QRect rows(form.ListView1->viewport()->mapTo(&form, QPoint()), form.ListView1->viewport()->size());
    EXPECT_EQ(form.findBar()->geometry().bottom(), rows.bottom());
    EXPECT_EQ(form.findBar()->width(), rows.width());
}
