// The transaction list and its summary as a reload builds them from the file: cell
// texts, totals, rows the join leaves out, cells that cannot be shown, the user's
// locale, and the header-click sort that outlives reloads.
#include "tests/main/MainWindowFixture.h"

#include "platform/AppError.h"
#include "shell/Ghost.h"
#include "tests/support/StoredSettings.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyleOptionHeader>
#include <QTest>
#include <QToolTip>

using namespace mainwindow;

namespace {
enum { Id, Date, Account, Description, Withdrawal, Deposit, Taxable };
}

using TransactionListTest = HouseholdTest;
using Summary = TransactionListTest;

TEST_F(Summary, CellsAndTotalsFollowTheStoredAmounts)
{
    add("zero out", "0", "25", "1");
    add("nothing known", "null", "null", "null");
    add("refund", "-5", "1234.5", "0");
    add("big", "1000000.125", "0.01");
    start();

    EXPECT_EQ(column(Description), (QStringList{"zero out", "nothing known", "refund", "big"}));
    EXPECT_EQ(column(Withdrawal), (QStringList{"", "", "-$5.00", "$1,000,000.13"}));
    EXPECT_EQ(column(Deposit), (QStringList{"$25.00", "", "$1,234.50", "$0.01"}));
    EXPECT_EQ(column(Taxable), (QStringList{"Yes", "No", "No", "No"}));
    // withdrawals 0 + 0 - 5 + 1000000.125, deposits 25 + 0 + 1234.5 + 0.01
    EXPECT_EQ(summary(), (QStringList{"Widrawal: $999,995.13", "Deposit: $1,259.51", "Balance: -$998,735.62",
                                      "Widrawal: 999995.125", "Deposit: 1259.51", "Balance: -998735.615"}));
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Summary, TransactionOfARemovedAccountIsNeitherShownNorCounted)
{
    const qint64 kept = add("kept", "10", "0");
    const qint64 gone = env.addAccount("Gone");
    env.addTransaction(transactionValues("orphan", gone, "99", "99"));
    env.sqlite(QStringLiteral("delete from Accounts where AccountID=%1").arg(gone));
    start();
    EXPECT_EQ(column(Id), QStringList{QString::number(kept)});
    EXPECT_EQ(summary().mid(3), (QStringList{"Widrawal: 10", "Deposit: 0", "Balance: -10"}));
}

TEST_F(Summary, UnshowableCellReportsAndTheRestStillLists)
{
    add("first");
    env.addTransaction(QStringLiteral("'2024-03-06',null,%1,2,3,1").arg(account));
    const qint64 nameless = env.addAccount("x");
    env.sqlite(QStringLiteral("update Accounts set AccountName=null where AccountID=%1").arg(nameless));
    env.addTransaction(transactionValues("no name", nameless, "4", "0"));
    add("last", "8", "0");
    dialogs.expectReports({"Form1.ListData 118", "Form1.ListData 116"});
    start();

    EXPECT_TRUE(dialogs.reports().front().startsWith("Invalid use of Null\r\n"));
    EXPECT_EQ(column(Description), (QStringList{"first", "", "no name", "last"}));
    EXPECT_EQ(column(Account), (QStringList{"Household", "Household", "", "Household"}));
    EXPECT_EQ(column(Withdrawal), (QStringList{"$1.00", "$2.00", "$4.00", "$8.00"}));
    EXPECT_EQ(column(Taxable), (QStringList{"No", "Yes", "No", "No"}));
    EXPECT_EQ(form.Label11->text(), "Widrawal: 15");
}

TEST_F(Summary, DatesShowInTheShortFormatWithTheWholeYearAndAnyTimeOfDay)
{
    for (const char* date : {"'2024-03-05'", "'1999-12-31'", "'2024-03-05 14:30:15'"})
        add("a", "1", "0", "0", QString::fromLatin1(date));
    start();
    EXPECT_EQ(column(Date).mid(0, 2), (QStringList{"3/5/2024", "12/31/1999"}));
    EXPECT_TRUE(column(Date).value(2).startsWith("3/5/2024 2:30:15")) << column(Date).value(2).toStdString();
}

TEST_F(Summary, GermanUserSeesGermanNumbersAndDates)
{
    useLocale(QLocale(QLocale::German, QLocale::Germany));
    add("a", "1234.5", "0.25");
    start();
    EXPECT_EQ(column(Withdrawal), QStringList{"$1.234,50"});
    EXPECT_EQ(column(Deposit), QStringList{"$0,25"});
    EXPECT_EQ(column(Date), QStringList{"05.03.2024"});
    EXPECT_EQ(summary(), (QStringList{"Widrawal: $1.234,50", "Deposit: $0,25", "Balance: -$1.234,25",
                                      "Widrawal: 1234,5", "Deposit: 0,25", "Balance: -1234,25"}));
}

using Sorting = TransactionListTest;

TEST_F(Sorting, DatesSortByTheCalendarAndTheTimeOfDayIdsByTheirNumber)
{
    // Ten rows, so the numbers 1 to 10 would sort differently as text; dates chosen so
    // their text order differs from their calendar order (13 December before 3 December).
    const char* dates[] = {"'2024-12-13'", "'2023-12-01'", "'2024-12-03'", "'2024-01-15'", "'2024-12-03 09:30:00'",
                           "'2024-02-29'", "'2024-10-01'", "'2024-02-30'", "'2024-12-03 08:00:00'", "'2024-05-05'"};
    for (const char* date : dates)
        add("r", "1", "0", "0", QString::fromLatin1(date));
    start();
    const QStringList shown = column(Date);
    const auto byCalendar = [&](std::initializer_list<int> rows) {
        QStringList out;
        for (int row : rows)
            out << shown[row];
        return out;
    };
    // A stored text that names no day ("2024-02-30") comes after every date.
    const QStringList ascending = byCalendar({1, 3, 5, 9, 6, 2, 8, 4, 0, 7});

    form.ListView1_ColumnClick(2);
    EXPECT_TRUE(form.ListView1->sorted());
    EXPECT_EQ(column(Date), ascending);
    EXPECT_EQ(column(Date).mid(0, 3), (QStringList{"12/1/2023", "1/15/2024", "2/29/2024"}));
    form.ListView1_ColumnClick(2);
    EXPECT_EQ(form.ListView1->sortOrder(), 1);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(column(Date), descending);

    form.ListView1_ColumnClick(1);
    EXPECT_EQ(form.ListView1->sortOrder(), 0);
    QStringList ids = column(Id);
    std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) { return a.toLongLong() < b.toLongLong(); });
    EXPECT_EQ(column(Id), ids);
    EXPECT_NE(ids.back(), "9");   // 10 rows: 10 is the last, not 9
}

TEST_F(Sorting, NumbersOfAnyLengthAndSignSortByValueBothWays)
{
    const QStringList numbers{"9223372036854775807", "-9223372036854775808", "0", "-5", "-45", "5", "45", "100",
                              "99", "1000000", "999999", "10", "1"};
    for (const QString& number : numbers)
        env.sqlite(QStringLiteral("insert into Transactions (TransactionNumber, TransactionDate, "
                                  "TransactionDescription, AccountID) values (%1, '2024-03-05', 'r', %2)")
                       .arg(number).arg(account));
    QStringList byValue = numbers;
    std::sort(byValue.begin(), byValue.end(), [](const QString& a, const QString& b) { return a.toLongLong() < b.toLongLong(); });
    start();
    form.ListView1_ColumnClick(1);
    EXPECT_EQ(column(Id), byValue);
    form.ListView1_ColumnClick(1);
    std::reverse(byValue.begin(), byValue.end());
    EXPECT_EQ(column(Id), byValue);
}

TEST_F(Sorting, AmountsSortByValueWithANullBeforeEveryNumber)
{
    add("135", "135");
    add("50", "50");
    add("null", "null", "7");
    add("74", "74");
    add("zero", "0");
    add("9.50", "9.5");
    add("minus 5", "-5");
    add("also 50", "50");
    start();
    form.ListView1_ColumnClick(Withdrawal + 1);
    EXPECT_EQ(column(Description), (QStringList{"null", "minus 5", "zero", "9.50", "50", "also 50", "74", "135"}));
    EXPECT_EQ(column(Withdrawal), (QStringList{"", "-$5.00", "", "$9.50", "$50.00", "$50.00", "$74.00", "$135.00"}));
    // Descending, equal amounts still keep the order they were added in.
    form.ListView1_ColumnClick(Withdrawal + 1);
    EXPECT_EQ(column(Description), (QStringList{"135", "74", "50", "also 50", "9.50", "zero", "minus 5", "null"}));

    form.ListView1_ColumnClick(Deposit + 1);
    EXPECT_EQ(column(Description).mid(0, 1), QStringList{"135"});   // every other deposit is 0
    EXPECT_EQ(column(Description).back(), "null");                // the one deposit of 7
}

TEST_F(Sorting, TextsSortCaseInsensitivelyAndTransactionNumbersThatAreNoWholeNumberByWhatTheyHold)
{
    add("cherry");
    add("Banana");
    add("apple", "1");
    add("");
    add("Apple", "2");
    start();
    form.ListView1_ColumnClick(Description + 1);
    EXPECT_EQ(column(Description), (QStringList{"", "apple", "Apple", "Banana", "cherry"}));
    // Descending, texts equal but for case keep the order they were added in.
    form.ListView1_ColumnClick(Description + 1);
    EXPECT_EQ(column(Description), (QStringList{"cherry", "Banana", "apple", "Apple", ""}));

    // Another program's numbers: a fraction, a text, a Null beside whole ones.
    TransactionListModel model;
    model.addColumn(QStringLiteral("ID"));
    for (const QVariant& number : {QVariant(qint64(10)), QVariant(2.5), QVariant(QStringLiteral("abc")),
                                   QVariant(qint64(-3)), QVariant(QStringLiteral("7")), QVariant(QStringLiteral("Abb"))})
        model.add(number);
    EXPECT_THROW(model.add(QVariant()), platform::AppError);
    model.publish();
    model.setSortKey(TransactionListModel::IdColumn);
    model.setSorted(true);
    QStringList ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.text(row, TransactionListModel::IdColumn);
    EXPECT_EQ(ids, (QStringList{"", "-3", "2.5", "7", "10", "Abb", "abc"}));
}

TEST_F(Sorting, ReloadsStartFromScratchKeepTheSortAndMakeTheFirstRowAddedCurrent)
{
    const qint64 banana = add("banana");
    add("cherry", "2");
    start();
    form.ListView1->setCurrentRow(1);
    form.ListView1_ColumnClick(4);
    add("apple", "4");
    form.ListData();
    form.ListData();
    EXPECT_EQ(column(Description), (QStringList{"apple", "banana", "cherry"}));
    // The current row is the first one the reload added, wherever it now stands.
    EXPECT_EQ(form.ListView1->selectedText(), QString::number(banana));
    EXPECT_EQ(form.Label11->text(), "Widrawal: 7");
}

TEST_F(Sorting, ClicksOnTheHeaderKeepTheSelectedRowSelected)
{
    add("c");
    const qint64 b = add("b");
    add("a");
    start();
    form.show();
    form.ListView1->setCurrentRow(1);
    emit form.ListView1->header()->sectionClicked(Description);
    EXPECT_EQ(column(Description), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(form.ListView1->selectedText(), QString::number(b));
    form.ListView1->setCurrentRow(0);   // "a"
    emit form.ListView1->header()->sectionClicked(Description);   // descending: a moves to the bottom
    EXPECT_EQ(form.ListView1->currentRow(), 2);
    EXPECT_EQ(form.ListView1->items().text(form.ListView1->currentRow(), Description), "a");
}

TEST_F(Summary, UnreadableLedgerReportsOnceAndWritesZeroTotals)
{
    add("a", "5", "0");
    start();
    ASSERT_EQ(form.ListView1->count(), 1);
    env.sqlite(QStringLiteral("drop table Transactions"));
    dialogs.expectReport("Form1.ListData 104");
    form.ListData();
    EXPECT_EQ(form.ListView1->count(), 0);
    EXPECT_EQ(summary().mid(2), (QStringList{"Balance: $0.00", "Widrawal: 0", "Deposit: 0", "Balance: 0"}));
}

TEST_F(Summary, TotalsNeverReadInfinityWhateverAnotherProgramStored)
{
    add("a", "5", "0");
    add("b", "0", "1.7976931348623157e308");
    add("c", "0", "1.7976931348623157e308");
    env.sqlite(QStringLiteral("pragma ignore_check_constraints = 1; insert into Transactions (TransactionDate,"
                              "TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,Taxable) "
                              "values ('2024-03-05','inf',%1,1e999,-1e999,0)").arg(account));
    start();
    EXPECT_TRUE(dialogs.reports().isEmpty());
    for (const QString& caption : summary()) {
        EXPECT_FALSE(caption.contains(QStringLiteral("inf"), Qt::CaseInsensitive)) << caption.toStdString();
        EXPECT_FALSE(caption.contains(QStringLiteral("nan"), Qt::CaseInsensitive)) << caption.toStdString();
    }
    EXPECT_EQ(form.Label11->text(), QStringLiteral("Widrawal: 5"));
    EXPECT_EQ(form.Label22->text(), QStringLiteral("Deposit: 1.79769313486232E+308"));
}

TEST_F(Summary, BadStoredCurrencyIsReportedOnceAndAmountsGoWithoutSymbol)
{
    testing_support::store("Currency", "7");
    add("a", "1234.5", "2");
    add("b", "1", "3");
    dialogs.expectReport("Form3.Form_Load 116");
    start();
    EXPECT_EQ(column(Withdrawal), (QStringList{"1,234.50", "1.00"}));
    EXPECT_EQ(form.Label1->text(), "Widrawal: 1,235.50");
    form.ListData();   // no second report
}

TEST_F(Sorting, TicksFollowTheirRowsAcrossASortAndAReloadClearsThem)
{
    add("b");
    add("a");
    start();
    auto& items = form.ListView1->items();
    ASSERT_TRUE(items.setData(items.index(0, 0), Qt::Checked, Qt::CheckStateRole));   // "b"
    form.ListView1_ColumnClick(4);
    EXPECT_EQ(column(Description), (QStringList{"a", "b"}));
    EXPECT_FALSE(items.isChecked(0));
    EXPECT_TRUE(items.isChecked(1));
    form.ListData();
    EXPECT_FALSE(items.isChecked(1));
}

using CellFit = TransactionListTest;

TEST_F(CellFit, CutTextsEndInAnEllipsisWithTheWholeTextAsTooltipAndNeverTouchTheNextColumn)
{
    const QString longText = QStringLiteral("A description far too long for a column of its design width");
    const qint64 id = add(longText);
    start();
    form.helpWindow()->hide();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TransactionList* list = form.ListView1;
    const QString number = QString::number(id);

    // At its design width the ID column has room for its check box only: no half digit.
    EXPECT_EQ(list->columnWidthTwips(Id), 400);
    EXPECT_EQ(list->shownText(0, Id), QString());
    list->setColumnWidthTwips(Id, 1500);
    EXPECT_EQ(list->shownText(0, Id), number);

    const QString cut = list->shownText(0, Description);
    ASSERT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(longText.startsWith(cut.chopped(1).trimmed()));
    EXPECT_EQ(list->shownText(0, Date), list->items().text(0, Date));   // what fits stays whole

    auto tooltipOver = [list](int column) {
        const QRect cell = list->visualRect(list->model()->index(0, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tooltipOver(Date), QString());
    EXPECT_EQ(tooltipOver(Description), longText);
}

TEST_F(Sorting, TheArrowPointsUpForAnAscendingSortAndSitsAboveTheCaptionNeverCoveringIt)
{
    add("b");
    add("a");
    start();
    form.helpWindow()->hide();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QHeaderView* header = form.ListView1->header();
    const QImage plain = header->grab().toImage();

    // Where the style puts the caption and the arrow of the ID column, the narrowest.
    QStyleOptionHeader option;
    option.initFrom(header);
    option.rect = QRect(header->sectionViewportPosition(Id), 0, header->sectionSize(Id), header->height());
    option.text = form.ListView1->items().header(Id);
    option.sortIndicator = QStyleOptionHeader::SortDown;
    const QRect caption = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
    const QRect arrow = header->style()->subElementRect(QStyle::SE_HeaderArrow, &option, header);
    EXPECT_FALSE(caption.intersects(arrow));
    EXPECT_GE(caption.width(), QFontMetrics(header->font()).horizontalAdvance(option.text));   // "ID" whole

    // The sort changes the header inside the arrow's place only, and the arrow's widest
    // row is at the bottom when ascending, at the top when descending.
    const auto inkRows = [&](const QImage& sorted) {
        QRect changed;
        std::vector<int> ink(size_t(plain.height()), 0);
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                if (sorted.pixel(x, y) != plain.pixel(x, y)) {
                    changed |= QRect(x, y, 1, 1);
                    ++ink[size_t(y)];
                }
        EXPECT_TRUE(arrow.contains(changed)) << "changed " << changed.x() << "," << changed.y() << " "
                                             << changed.width() << "x" << changed.height();
        return std::pair(ink[size_t(arrow.top())], ink[size_t(arrow.bottom())]);
    };
    form.ListView1_ColumnClick(Id + 1);
    ASSERT_EQ(form.ListView1->sortOrder(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);   // the header still knows the sort
    const auto [ascendingTop, ascendingBottom] = inkRows(header->grab().toImage());
    EXPECT_LT(ascendingTop, ascendingBottom);
    form.ListView1_ColumnClick(Id + 1);
    const auto [descendingTop, descendingBottom] = inkRows(header->grab().toImage());
    EXPECT_GT(descendingTop, descendingBottom);
}

TEST_F(CellFit, ACutTextShowsItsWholeTextAsTooltipAlsoWhileAnotherWindowIsActive)
{
    const QString longText = QStringLiteral("A description far too long for a column of its design width");
    add(longText);
    start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // The help window, shown at start-up, is the active one.
    form.helpWindow()->activateWindow();
    QApplication::setActiveWindow(form.helpWindow());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.helpWindow()));
    ASSERT_FALSE(form.isActiveWindow());

    QWidget* viewport = form.ListView1->viewport();
    const QPoint over = form.ListView1->visualRect(form.ListView1->items().index(0, Description)).center();
    QTest::mouseMove(viewport, over);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), longText);
    QToolTip::hideText();
}
