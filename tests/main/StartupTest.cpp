// Start-up and shutdown of the main window: folders and file on a first start, the
// column widths and window state restored from the settings and stored again on
// every close, and the reports a bad setting or a missing template give.
#include "tests/main/MainWindowFixture.h"

#include "data/Ledger.h"
#include "platform/Settings.h"

#include <QFile>
#include <QHeaderView>

using namespace mainwindow;

namespace {

std::vector<double> widths(const Form1& form)
{
    std::vector<double> out;
    for (int i = 0; i < form.ListView1->columnCountTwips(); ++i)
        out.push_back(form.ListView1->columnWidthTwips(i));
    return out;
}

QString setting(const char* key)
{
    return platform::settings::get(QString::fromLatin1(key), QStringLiteral("<absent>"));
}

const std::vector<double> kDefaultWidths{400, 1800, 1800, 1800, 1800, 1800, 1800};

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
    EXPECT_EQ(form.ListView1->header()->sectionSize(0), 400 / 15 + 1);   // 26.67 rounds to 27
    EXPECT_EQ(form.ListView1->header()->sectionSize(1), 120);
    EXPECT_EQ(form.ListView1->count(), 0);
    EXPECT_EQ(form.windowStateNumber(), 0);
    EXPECT_FALSE(form.WasMaximized);
}

TEST_F(Startup, StoredWidthsAreAppliedAsSingleNumbers)
{
    platform::settings::save(QStringLiteral("ColumnHeaders1"), QStringLiteral("1234.5"));
    platform::settings::save(QStringLiteral("ColumnHeaders7"), QStringLiteral("3000"));
    start();
    EXPECT_EQ(widths(form), (std::vector<double>{1234.5, 1800, 1800, 1800, 1800, 1800, 3000}));
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Startup, NonNumericWidthReportsAndTheColumnKeepsItsDefault)
{
    platform::settings::save(QStringLiteral("ColumnHeaders1"), QStringLiteral("wide"));
    platform::settings::save(QStringLiteral("ColumnHeaders3"), QStringLiteral("abc"));
    platform::settings::save(QStringLiteral("ColumnHeaders6"), QString());
    platform::settings::save(QStringLiteral("ColumnHeaders5"), QStringLiteral("900"));
    start();
    EXPECT_EQ(dialogs.reportLines(), (QStringList{"Form1.Form_Load 162", "Form1.Form_Load 166",
                                                  "Form1.Form_Load 166"}));
    EXPECT_EQ(widths(form), (std::vector<double>{400, 1800, 1800, 1800, 900, 1800, 1800}));
    EXPECT_EQ(form.ListView1->count(), 0);   // start-up went on to the list
}

TEST_F(Startup, StoredWindowStateIsRestored)
{
    platform::settings::save(QStringLiteral("WindowState"), QStringLiteral("2"));
    start();
    EXPECT_EQ(form.windowStateNumber(), 2);
    EXPECT_TRUE(form.WasMaximized);
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Startup, MinimisedWindowStateCountsAsHavingBeenMaximised)
{
    platform::settings::save(QStringLiteral("WindowState"), QStringLiteral("1"));
    start();
    EXPECT_EQ(form.windowStateNumber(), 1);
    EXPECT_TRUE(form.WasMaximized);
}

TEST_F(Startup, BadWindowStateReportsAndOpensNormal)
{
    for (const char* stored : {"max", "3", "-1", "70000"}) {
        SCOPED_TRACE(stored);
        testing_support::ScriptedDialogs local;
        Form1 window;
        platform::settings::save(QStringLiteral("WindowState"), QString::fromLatin1(stored));
        window.Form_Load();
        EXPECT_EQ(local.reportLines(), QStringList{"Form1.Form_Load 172"});
        EXPECT_EQ(window.windowStateNumber(), 0);
        EXPECT_FALSE(window.WasMaximized);
        data::releaseConnection();
    }
}

TEST_F(Startup, MissingTemplateReportsAndTheWindowStillOpens)
{
    ASSERT_TRUE(QFile::remove(env.programFolder() + QStringLiteral("/dbBlank.mdb")));
    start();
    const QStringList lines = dialogs.reportLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.mid(0, 2), (QStringList{"Form1.Form_Load 110", "Form1.Form_Load 146"}));
    for (const QString& line : lines.mid(2))
        EXPECT_TRUE(line.startsWith(QStringLiteral("Form1.ListData "))) << line.toStdString();
    // The rest of start-up still ran: columns, widths, empty list, zero summary.
    EXPECT_EQ(widths(form), kDefaultWidths);
    EXPECT_EQ(form.ListView1->count(), 0);
    EXPECT_EQ(summary(), (QStringList{"Widrawal: $0.00", "Deposit: $0.00", "Balance: $0.00", "Widrawal: 0",
                                      "Deposit: 0", "Balance: 0"}));
    EXPECT_FALSE(QFile::exists(env.workingDatabase()));

    // Closing finds the connection closed and does not report again.
    dialogs.clear();
    form.Form_QueryUnload();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(setting("WindowState"), QStringLiteral("0"));
}

TEST_F(Startup, ExistingLedgerIsKeptAndListed)
{
    prepareLedger();
    const qint64 account = addAccount(QStringLiteral("Rent"));
    addTransaction(transactionValues(QStringLiteral("March"), account, QStringLiteral("700"), QStringLiteral("0")));
    start();
    EXPECT_EQ(column(3), QStringList{"March"});
    EXPECT_TRUE(dialogs.prompts().empty());
}

using Shutdown = MainWindowTest;

TEST_F(Shutdown, EveryCloseStoresAllWidthsAndTheState)
{
    start();
    form.show();
    form.ListView1->setColumnWidthTwips(3, 1234.5);
    form.Form_QueryUnload();

    EXPECT_EQ(setting("ColumnHeaders1"), QStringLiteral("400"));
    for (const char* key : {"ColumnHeaders2", "ColumnHeaders3", "ColumnHeaders5", "ColumnHeaders6", "ColumnHeaders7"})
        EXPECT_EQ(setting(key), QStringLiteral("1800")) << key;
    EXPECT_EQ(setting("ColumnHeaders4"), QStringLiteral("1234.5"));
    EXPECT_EQ(setting("ColumnHeaders8"), QStringLiteral("<absent>"));
    EXPECT_EQ(setting("WindowState"), QStringLiteral("0"));
    EXPECT_FALSE(data::hasConnection());
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Shutdown, MinimisedCloseStoresOne)
{
    start();
    form.show();
    form.setWindowState(Qt::WindowMinimized);
    form.Form_QueryUnload();
    EXPECT_EQ(setting("WindowState"), QStringLiteral("1"));
}

TEST_F(Shutdown, WidthDraggedByTheUserIsStored)
{
    start();
    form.show();
    form.ListView1->header()->resizeSection(2, 100);   // as a drag on the header does
    EXPECT_EQ(form.ListView1->columnWidthTwips(2), 1500);
    form.Form_QueryUnload();
    EXPECT_EQ(setting("ColumnHeaders3"), QStringLiteral("1500"));
}

TEST_F(Shutdown, MaximisedCloseReopensMaximisedWithTheSameWidths)
{
    start();
    form.show();
    form.setWindowState(Qt::WindowMaximized);
    form.ListView1->setColumnWidthTwips(0, 555.5);
    closeWindow(form);   // the close box runs the close handlers
    EXPECT_EQ(setting("WindowState"), QStringLiteral("2"));
    EXPECT_EQ(setting("ColumnHeaders1"), QStringLiteral("555.5"));
    EXPECT_FALSE(data::hasConnection());

    Form1 again;
    again.Form_Load();
    EXPECT_EQ(again.windowStateNumber(), 2);
    EXPECT_TRUE(again.WasMaximized);
    EXPECT_EQ(again.ListView1->columnWidthTwips(0), 555.5);
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Shutdown, WidthsRoundTripUnderACommaDecimalLocale)
{
    useLocale(QLocale(QLocale::German, QLocale::Germany));
    start();
    form.ListView1->setColumnWidthTwips(4, 1234.5);
    form.Form_QueryUnload();

    Form1 again;
    again.Form_Load();
    EXPECT_EQ(again.ListView1->columnWidthTwips(4), 1234.5);
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Shutdown, ClosingTwiceRunsTheCloseHandlersOnce)
{
    start();
    form.show();
    closeWindow(form);
    platform::settings::save(QStringLiteral("WindowState"), QStringLiteral("marker"));
    closeWindow(form);
    EXPECT_EQ(setting("WindowState"), QStringLiteral("marker"));
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Shutdown, CloseWithoutAConnectionReportsAndStillStoresSettings)
{
    start();
    data::releaseConnection();
    form.Form_QueryUnload();
    EXPECT_EQ(dialogs.reportLines(), (QStringList{"Form1.Form_QueryUnload 108", "Form1.Form_QueryUnload 108"}));
    EXPECT_EQ(setting("ColumnHeaders7"), QStringLiteral("1800"));
    EXPECT_EQ(setting("WindowState"), QStringLiteral("0"));
}
