// Start-up and shutdown of the main window: folders and file on a first start, the
// column widths and window state restored from the settings and stored again on
// every close, and the reports a bad setting or a missing template give.
#include "tests/main/MainWindowFixture.h"

#include "data/Ledger.h"
#include "tests/support/StoredSettings.h"

#include <QFile>
#include <QHeaderView>

using namespace mainwindow;
using testing_support::store;
using testing_support::stored;

namespace {

std::vector<double> widths(const Form1& form)
{
    std::vector<double> out;
    for (int i = 0; i < form.ListView1->columnCountTwips(); ++i)
        out.push_back(form.ListView1->columnWidthTwips(i));
    return out;
}

const std::vector<double> kDefaultWidths{400, 1800, 1800, 1800, 1800, 1800, 1800};
const QStringList kZeroSummary{"Widrawal: $0.00", "Deposit: $0.00", "Balance: $0.00",
                               "Widrawal: 0",     "Deposit: 0",     "Balance: 0"};

} // namespace

using Startup = MainWindowTest;

TEST_F(Startup, FirstStartMakesTheLedgerAndOpensWithDesignDefaults)
{
    ASSERT_FALSE(QFile::exists(env.workingDatabase()));
    start();

    EXPECT_TRUE(QFile::exists(env.workingDatabase()));
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(data::connection().State(), 1);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tallyfold"));
    QStringList headers;
    for (int i = 0; i < form.ListView1->items().headerCount(); ++i)
        headers << form.ListView1->items().header(i);
    EXPECT_EQ(headers, (QStringList{"ID", "Date", "Account", "Description", " Withdrawal Amount", "Deposit Amount",
                                    "Taxable"}));
    EXPECT_EQ(widths(form), kDefaultWidths);
    // The widths reach the header itself, 15 twips to a pixel offscreen.
    EXPECT_EQ(form.ListView1->header()->sectionSize(1), 120);
    EXPECT_EQ(form.windowStateNumber(), 0);
    EXPECT_FALSE(form.WasMaximized);
    EXPECT_EQ(form.ListView1->count(), 0);
    EXPECT_EQ(summary(), kZeroSummary);
}

TEST_F(Startup, StoredWidthsAreAppliedAndImpossibleOnesReportedKeepingTheDefault)
{
    store("ColumnHeaders1", "wide");
    store("ColumnHeaders2", "1234.5");
    store("ColumnHeaders3", "abc");
    store("ColumnHeaders4", "-5");      // a number, but no column can be that wide
    store("ColumnHeaders6", "");
    store("ColumnHeaders7", "3000");
    dialogs.expectReport("Form1.Form_Load 162");
    dialogs.expectReport("Form1.Form_Load 166", 3);
    start();
    EXPECT_EQ(widths(form), (std::vector<double>{400, 1234.5, 1800, 1800, 1800, 1800, 3000}));
}

TEST_F(Startup, StoredWindowStateIsRestoredAndABadOneReportedAsNormal)
{
    const struct {
        const char* stored;
        int state;
        bool wasMaximized;
        QStringList reports;
    } cases[] = {
        {"2", 2, true, {}},
        {"1", 1, true, {}},   // minimised counts as having been maximised
        {"max", 0, false, {"Form1.Form_Load 172"}},
        {"3", 0, false, {"Form1.Form_Load 172"}},
        {"70000", 0, false, {"Form1.Form_Load 172"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        testing_support::ScriptedDialogs local;
        Form1 window;
        store("WindowState", c.stored);
        local.expectReports(c.reports);
        window.Form_Load();
        EXPECT_EQ(window.windowStateNumber(), c.state);
        EXPECT_EQ(window.WasMaximized, c.wasMaximized);
        data::releaseConnection();
    }
}

TEST_F(Startup, MissingTemplateReportsAndTheWindowStillOpens)
{
    ASSERT_TRUE(QFile::remove(env.programFolder() + QStringLiteral("/dbBlank.mdb")));
    // The list reports that its query cannot be opened, once, and reads no further.
    dialogs.expectReports({"Form1.Form_Load 110", "Form1.Form_Load 146", "Form1.ListData 104"});
    start();
    // The rest of start-up still ran: columns, widths, empty list, zero summary.
    EXPECT_EQ(widths(form), kDefaultWidths);
    EXPECT_EQ(summary(), kZeroSummary);
    EXPECT_FALSE(QFile::exists(env.workingDatabase()));

    // Closing finds the connection closed and does not report again.
    form.Form_QueryUnload();
    EXPECT_EQ(stored("WindowState"), QStringLiteral("0"));
}

using Shutdown = MainWindowTest;

TEST_F(Shutdown, EveryCloseStoresAllWidthsAndTheState)
{
    start();
    form.show();
    form.ListView1->setColumnWidthTwips(3, 1234.5);
    form.ListView1->header()->resizeSection(2, 100);   // as a drag on the header does
    form.setWindowState(Qt::WindowMinimized);
    form.Form_QueryUnload();

    QStringList widths;
    for (int i = 1; i <= 8; ++i)
        widths << stored(QStringLiteral("ColumnHeaders%1").arg(i).toLatin1().constData());
    EXPECT_EQ(widths, (QStringList{"400", "1800", "1500", "1234.5", "1800", "1800", "1800", "<absent>"}));
    EXPECT_EQ(stored("WindowState"), QStringLiteral("1"));
    EXPECT_FALSE(data::hasConnection());
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Shutdown, MaximisedCloseReopensMaximisedWithTheSameWidthsEvenUnderACommaDecimalLocale)
{
    useLocale(QLocale(QLocale::German, QLocale::Germany));
    start();
    form.show();
    form.setWindowState(Qt::WindowMaximized);
    form.ListView1->setColumnWidthTwips(0, 555.5);
    closeWindow(form);   // the close box runs the close handlers
    EXPECT_EQ(stored("WindowState"), QStringLiteral("2"));
    EXPECT_EQ(stored("ColumnHeaders1"), QStringLiteral("555.5"));   // a stored text, the same in every locale

    // Closing again runs the close handlers no second time.
    store("WindowState", "marker");
    closeWindow(form);
    EXPECT_EQ(stored("WindowState"), QStringLiteral("marker"));
    store("WindowState", "2");

    Form1 again;
    again.Form_Load();
    EXPECT_EQ(again.windowStateNumber(), 2);
    EXPECT_EQ(again.ListView1->columnWidthTwips(0), 555.5);
    EXPECT_TRUE(dialogs.prompts().empty());
}

