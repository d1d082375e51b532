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
#include <unistd.h>

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
    env.sqlite(QStringLiteral("drop table tblReport"));   // the report's copy fails: so does the run
    const QString fresh = env.root() + QStringLiteral("/fresh.pdf");
    const QStringList before = rootEntries();
    Outcome report = run({QStringLiteral("--report-pdf"), fresh});
    EXPECT_EQ(report.status, 1);
    EXPECT_TRUE(report.errors.contains(QStringLiteral("tblReport"))) << report.errors.toStdString();
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

TEST_F(CommandLine, AReportThroughASymbolicLinkGoesToTheFileItNamesAndLeavesTheLink)
{
    add("Rent", "0", "1250.75", "0", "'2021-03-05'");
    QDir().mkpath(env.root() + QStringLiteral("/reports"));
    const QString real = env.root() + QStringLiteral("/reports/latest.pdf");
    const QString missing = env.root() + QStringLiteral("/reports/new.pdf");
    QFile old(real);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the last report");
    old.close();
    struct Link {
        const char* name;
        QString target;   // as the link holds it
        QString lands;
    };
    for (const Link& link : {Link{"absolute.pdf", real, real}, Link{"relative.pdf", QStringLiteral("reports/new.pdf"), missing},
                             Link{"chain.pdf", QStringLiteral("absolute.pdf"), real}}) {
        SCOPED_TRACE(link.name);
        const QString path = env.root() + u'/' + QLatin1String(link.name);
        ASSERT_EQ(::symlink(QFile::encodeName(link.target).constData(), QFile::encodeName(path).constData()), 0);
        QFile::remove(link.lands);
        const Outcome report = run({QStringLiteral("--report-pdf"), path});
        EXPECT_EQ(report.status, 0) << report.errors.toStdString();
        char held[4096] = {};
        ASSERT_GT(::readlink(QFile::encodeName(path).constData(), held, sizeof held - 1), 0);   // still the link
        EXPECT_EQ(QFile::decodeName(held), link.target);
        EXPECT_EQ(testing_support::pdfPages(link.lands).size(), 1);
    }
    EXPECT_EQ(QDir(env.root() + QStringLiteral("/reports")).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("latest.pdf"), QStringLiteral("new.pdf")}));
}

TEST_F(CommandLine, AnImportIntoADamagedLedgerIsRefusedAndWritesNothing)
{
    add("Rent", "0", "1250.75", "0", "'2021-03-05'");
    // Damage the list never reads and an import never touches, as the check in the
    // window's background finds it.
    testing_support::zeroPage(env.workingDatabase(),
                              std::stoi(env.rows(QStringLiteral("select rootpage from sqlite_master where name = 'tblReport'"))));
    const QByteArray before = testing_support::fileHash(env.workingDatabase());
    const QString statement = env.writeFile(QStringLiteral("march.csv"), "Date,Description,Amount\n"
                                                                         "2024-03-05,Coffee,-3.50\n");
    const Outcome imported = run({QStringLiteral("--import"), statement, QStringLiteral("--account"),
                                  QStringLiteral("Household")});
    EXPECT_EQ(imported.status, 1);
    EXPECT_EQ(imported.out, QString());
    EXPECT_TRUE(imported.errors.contains(QStringLiteral("The ledger file is damaged"))) << imported.errors.toStdString();
    EXPECT_TRUE(imported.errors.contains(QStringLiteral("nothing was imported from march.csv"))) << imported.errors.toStdString();
    EXPECT_EQ(testing_support::fileHash(env.workingDatabase()), before);
}

TEST_F(CommandLine, ACopyFromAFileThatHoldsNoLedgerSaysWhy)
{
    const struct {
        const char* name;
        const char* sql;   // what the file holds; nothing: no bytes
        const char* reason;
    } cases[] = {
        {"empty.mdb", nullptr, "is empty (0 bytes): it holds no ledger to copy."},
        {"letters.mdb", "create table other.Letters (t)", "This file is not a Tallyfold ledger"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString from = env.root() + u'/' + QLatin1String(c.name);
        QFile file(from);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        if (c.sql)
            env.sqlite(QStringLiteral("attach '%1' as other; %2").arg(from, QString::fromLatin1(c.sql)));
        const QString to = env.root() + QStringLiteral("/copy.mdb");
        const Outcome copied = run({QStringLiteral("--copy-ledger"), from, to});
        EXPECT_EQ(copied.status, 1);
        EXPECT_TRUE(copied.errors.contains(QLatin1String(c.reason))) << copied.errors.toStdString();
        EXPECT_FALSE(copied.errors.contains(QStringLiteral("tallyfold: : "))) << copied.errors.toStdString();
        EXPECT_FALSE(QFile::exists(to));
    }
}

} // namespace
