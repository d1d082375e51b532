// The program started from the command line without a screen: help and the version,
// and the report written to a file, which never replaces anything but a regular file
// and leaves nothing behind when the run fails.
#include "tests/main/MainWindowFixture.h"

#include "data/Ledger.h"
#include "shell/Ghost.h"
#include "tests/support/PdfText.h"

#include <QApplication>
#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>

namespace {

using Outcome = testing_support::TestEnvironment::Run;

class CommandLine : public HouseholdTest {
protected:
    // Starts the built program with no screen of any kind, in this test's home.
    Outcome run(const QStringList& arguments) const
    {
        return env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), arguments);
    }
    // The entries of the test's root folder, hidden ones included.
    QStringList rootEntries() const
    {
        return QDir(env.root()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

bool isFifo(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

TEST_F(CommandLine, AWindowlessLoadShowsNoWindow)
{
    mainwindow::Form1 windowless;
    windowless.setWindowless();
    ASSERT_TRUE(windowless.Form_Load());
    ASSERT_NE(windowless.helpWindow(), nullptr);
    EXPECT_FALSE(windowless.helpWindow()->isVisible());
    const QWidgetList windows = QApplication::topLevelWidgets();
    EXPECT_TRUE(std::none_of(windows.cbegin(), windows.cend(), [](const QWidget* w) { return w->isVisible(); }));
    data::releaseConnection();
}

TEST_F(CommandLine, HelpAndVersionNeedNoScreen)
{
    const Outcome help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0) << help.errors.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--report-pdf <file>"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--version"))) << help.out.toStdString();
    EXPECT_TRUE(help.errors.isEmpty()) << help.errors.toStdString();

    const Outcome version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0) << version.errors.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("Tallyfold 1.0\n"));
    EXPECT_TRUE(version.errors.isEmpty()) << version.errors.toStdString();

    const Outcome unknown = run({QStringLiteral("--version"), QStringLiteral("--no-such-option")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.errors.contains(QStringLiteral("no-such-option"))) << unknown.errors.toStdString();
}

TEST_F(CommandLine, TheReportRunPrintsNothingOfItsOwnWhenAllGoesWell)
{
    add("Rent", "0", "1250.75", "0", "'2021-03-05'");
    const QString file = env.root() + QStringLiteral("/report.pdf");
    const Outcome report = run({QStringLiteral("--report-pdf"), file});
    EXPECT_EQ(report.status, 0);
    EXPECT_TRUE(report.out.isEmpty()) << report.out.toStdString();
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.toStdString();
    EXPECT_EQ(testing_support::pdfPages(file).size(), 1);
    EXPECT_EQ(QFileInfo(file).permissions() & (QFile::ReadGroup | QFile::ReadOther),
              QFile::ReadGroup | QFile::ReadOther);   // as a file written in place would be
}

TEST_F(CommandLine, APipeOrAFolderIsRefusedAndLeftAsItWas)
{
    add("Rent", "0", "1250.75", "0", "'2021-03-05'");
    const QString pipe = env.root() + QStringLiteral("/pipe.pdf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = env.root() + QStringLiteral("/folder.pdf");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QStringList before = rootEntries();
    for (const QString& target : {pipe, folder}) {
        SCOPED_TRACE(target.toStdString());
        const Outcome report = run({QStringLiteral("--report-pdf"), target});
        EXPECT_EQ(report.status, 1);
        EXPECT_TRUE(report.errors.contains(target + QStringLiteral(" is not a regular file"))) << report.errors.toStdString();
    }
    EXPECT_TRUE(isFifo(pipe));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(rootEntries(), before);
}

TEST_F(CommandLine, ARunThatFailsLeavesNoNewFileAndAnOldOneAsItWas)
{
    add("Rent", "0", "1250.75", "0", "'2021-03-05'");
    add("Undated", "1", "0", "0", "null");   // the list reports its Null date: the run fails
    const QString fresh = env.root() + QStringLiteral("/fresh.pdf");
    const QStringList before = rootEntries();
    Outcome report = run({QStringLiteral("--report-pdf"), fresh});
    EXPECT_EQ(report.status, 1);
    EXPECT_TRUE(report.errors.contains(QStringLiteral("Invalid use of Null"))) << report.errors.toStdString();
    EXPECT_EQ(rootEntries(), before);

    const QString old = env.root() + QStringLiteral("/old.pdf");
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the last report");
    file.close();
    report = run({QStringLiteral("--report-pdf"), old});
    EXPECT_EQ(report.status, 1);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "the last report");
    EXPECT_EQ(rootEntries(), before + QStringList{QStringLiteral("old.pdf")});
}

} // namespace
