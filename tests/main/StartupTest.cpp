// Start-up and shutdown of the main window: folders and file on a first start, the
// column widths and window state restored from the settings and stored again on
// every close, and the reports a bad setting, a hostile settings file, a missing
// template or a settings folder that cannot be written give.
#include "tests/main/MainWindowFixture.h"

#include "currency/CurrencyChoice.h"
#include "data/Ledger.h"
#include "platform/AppPaths.h"
#include "tests/support/PermissionsApply.h"
#include "tests/support/StoredSettings.h"

#include <QFile>
#include <QHeaderView>
#include <QRandomGenerator>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

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

// A figure of this process from /proc/self/status, in kB ("VmHWM:" the peak resident
// memory, "VmSize:" the address space in use).
long long statusKb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0)
            return std::stoll(line.substr(field.size()));
    }
    return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// While one lives, the process may not take more than `headroom` bytes of address
// space beyond what it holds now: a runaway allocation fails instead of swamping the
// machine. (The address sanitizer reserves far more than that for itself: then it
// watches alone.)
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t headroom)
    {
        getrlimit(RLIMIT_AS, &m_saved);
        if (kSanitized)
            return;
        rlimit limit = m_saved;
        limit.rlim_cur = rlim_t(statusKb("VmSize:")) * 1024 + headroom;
        setrlimit(RLIMIT_AS, &limit);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_saved); }

private:
    rlimit m_saved{};
};

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

TEST_F(Startup, AHostileSettingsFileStartsInLittleMemoryWithEachBadValueReported)
{
    start();   // a first start with clean settings takes what any start takes
    data::releaseConnection();
    currency::CurrencyChoice::instance().unload();

    QByteArray junk;
    QRandomGenerator random(35);
    for (int i = 0; i < 8000; ++i)
        junk += char(random.bounded(256));
    QFile file(platform::settingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Tallyfold]\n"
               // Serialized objects: each would ask for gigabytes if it were decoded.
               "ColumnHeaders1=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n"
               "ColumnHeaders2=@ByteArray(1800)\n"
               "WindowState=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10QStringList\\0\\x7f\\xff\\xff\\xff)\n"
               "CurrList=@Variant(\\0\\0\\0\\n\\x7f\\xff\\xff\\xff)\n"
               "Currency=@Invalid()\n"
               "Option1=@Rect(0 0 2147483647 2147483647)\n"
               "Option2=@Size(2147483647 2147483647)\n"
               // Huge numbers, a list, an escape past every character, a huge value.
               "ColumnHeaders3=1e999999\n"
               "ColumnHeaders4=99999999999999999999999999999\n"
               "ColumnHeaders5=1800, 1800\n"
               "ColumnHeaders6=\\x7fffffffffffffffffff\n"
               "ColumnHeaders7=" + QByteArray(50000, '9') + "\n" + junk);
    file.close();

    dialogs.expectReport("Form1.Form_Load 162");
    dialogs.expectReport("Form1.Form_Load 166", 6);
    dialogs.expectReports({"Form3.Form_Load 116", "Form3.Form_Load 118", "Form3.Form_Load 120", "Form1.Form_Load 172"});
    const long long peakBefore = statusKb("VmHWM:");
    {
        AddressSpaceLimit limit(512 << 20);
        Form1 hostile;
        hostile.Form_Load();
        EXPECT_EQ(widths(hostile), kDefaultWidths);
        EXPECT_EQ(hostile.windowStateNumber(), 0);
        EXPECT_EQ(hostile.Label1->text(), QStringLiteral("Widrawal: 0.00"));
        // The list of symbols is the one text the line holds.
        const QStringList symbols = currency::CurrencyChoice::instance().symbols();
        EXPECT_TRUE(symbols.size() == 1 && symbols[0].startsWith(QStringLiteral("@Variant("))) << symbols.size();
    }
    EXPECT_LT(statusKb("VmHWM:") - peakBefore, 8 * 1024) << "kB more at the peak";
    // Each bad value failed as the value it is, never for want of memory.
    for (const QString& report : dialogs.reports())
        EXPECT_FALSE(report.contains(QStringLiteral("alloc"))) << report.toStdString();
    EXPECT_TRUE(dialogs.reports().value(0).startsWith(QStringLiteral("Type mismatch\r\n")));
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

TEST_F(Shutdown, ASettingsFolderThatCannotBeWrittenIsReportedAtClose)
{
    start();
    store("WindowState", "2");   // the folder exists, with a file in it
    const QString folder = env.configHome() + QStringLiteral("/Marlowick");
    chmod(folder.toUtf8().constData(), 0555);
    dialogs.expectReport("Form1.Form_QueryUnload 102", 7);
    dialogs.expectReport("Form1.Form_QueryUnload 106");
    {
        testing_support::PermissionsApply permissions;
        form.Form_QueryUnload();
    }
    chmod(folder.toUtf8().constData(), 0755);
    EXPECT_TRUE(dialogs.reports().value(0).startsWith(
        QStringLiteral("Path/File access error: cannot save the settings to '") + platform::settingsFilePath()));
    // The rest of the close still ran.
    EXPECT_FALSE(data::hasConnection());
    EXPECT_EQ(stored("WindowState"), QStringLiteral("2"));
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

