// The data folder and the working file as start-up prepares them, and the two small
// file functions it leans on.
#include "data/sqlite/Database.h"
#include "data/Ledger.h"
#include "shell/ErrorTrap.h"
#include "platform/FileFunctions.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/LedgerEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using testing_support::ScriptedDialogs;
using testing_support::LedgerEnvironment;
using testing_support::fileHash;

namespace {

// Start-up's statements 100-110 under the load handler's trap, showing exactly the
// reports expected.
void prepare(const QStringList& expectedReports = {})
{
    ScriptedDialogs dialogs;
    dialogs.expectReports(expectedReports);
    shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    data::prepareDataFolder(trap);
}

// Puts HOME and XDG_DATA_HOME back as they were when the test ends.
struct KeepHome {
    ~KeepHome()
    {
        for (const auto& [name, value] : {std::pair{"HOME", home}, std::pair{"XDG_DATA_HOME", data}})
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
};

} // namespace

TEST(DataFolder, FirstStartMakesBothFoldersAndCopiesTheTemplate)
{
    LedgerEnvironment env;
    ASSERT_FALSE(QFileInfo::exists(env.dataHome() + QStringLiteral("/Marlowick")));
    prepare();
    EXPECT_TRUE(QFileInfo(env.dataHome() + QStringLiteral("/Marlowick/Tallyfold")).isDir());
    EXPECT_EQ(data::workingDatabasePath(), env.workingDatabase());
    EXPECT_EQ(fileHash(env.workingDatabase()), fileHash(env.programFolder() + QStringLiteral("/dbBlank.mdb")));
    EXPECT_EQ(data::connectionString(),
              QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + env.dataHome()
                  + QStringLiteral("/Marlowick/Tallyfold/dbData.mdb;JET OLEDB:Database Password="));
}

TEST(DataFolder, LaterStartsLeaveTheWorkingFileAloneEvenWhenTheTemplateChanged)
{
    LedgerEnvironment env;
    env.placeLedger();
    env.addAccount(QStringLiteral("Mine"));
    QFile::remove(env.programFolder() + QStringLiteral("/dbBlank.mdb"));
    QFile changed(env.programFolder() + QStringLiteral("/dbBlank.mdb"));
    ASSERT_TRUE(changed.open(QIODevice::WriteOnly));
    changed.write("a newer template");
    changed.close();
    const QByteArray before = fileHash(env.workingDatabase());
    prepare();
    EXPECT_EQ(fileHash(env.workingDatabase()), before);
}

TEST(DataFolder, AnEmptyWorkingFileIsReplacedAsIfMissingUnlessALogBesideItHoldsData)
{
    LedgerEnvironment env;
    QDir().mkpath(env.dataHome() + QStringLiteral("/Marlowick/Tallyfold"));
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    write(env.workingDatabase(), {});
    prepare();
    EXPECT_EQ(fileHash(env.workingDatabase()), fileHash(env.programFolder() + QStringLiteral("/dbBlank.mdb")));
    // A log with content may hold the ledger itself: nothing is replaced then.
    write(env.workingDatabase(), {});
    write(env.workingDatabase() + QStringLiteral("-wal"), QByteArray(4096, 'w'));
    prepare();
    EXPECT_EQ(QFileInfo(env.workingDatabase()).size(), 0);
}

TEST(DataFolder, EachFailingStepIsReportedAndTheNextOneStillRuns)
{
    {
        LedgerEnvironment env;
        QFile::remove(env.programFolder() + QStringLiteral("/dbBlank.mdb"));
        prepare({"Form1.Form_Load 110"});
        EXPECT_TRUE(QFileInfo(env.dataHome() + QStringLiteral("/Marlowick/Tallyfold")).isDir());
        EXPECT_FALSE(QFileInfo::exists(env.workingDatabase()));
    }
    // A plain file where a folder should be is an entry of that name, so nothing tries
    // to make that folder; what goes below it cannot be made.
    const std::pair<const char*, QStringList> blocked[] = {
        {"/Marlowick", {"Form1.Form_Load 106", "Form1.Form_Load 110"}},
        {"/Marlowick/Tallyfold", {"Form1.Form_Load 110"}},
    };
    for (const auto& [name, reports] : blocked) {
        SCOPED_TRACE(name);
        LedgerEnvironment env;
        QDir().mkpath(env.dataHome() + QStringLiteral("/Marlowick"));
        QDir().rmdir(env.dataHome() + QString::fromLatin1(name));
        QFile blocker(env.dataHome() + QString::fromLatin1(name));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        prepare(reports);
        EXPECT_TRUE(QFileInfo(env.dataHome() + QString::fromLatin1(name)).isFile());
    }
}

TEST(DataFolder, AFreshAccountsMissingOrOddlyNamedDataHomeStillWorks)
{
    LedgerEnvironment env;
    for (const QString& home : {env.root() + QStringLiteral("/fresh/.local/share"),
                                env.root() + QStringLiteral("/odd; name=x;y")}) {
        SCOPED_TRACE(home.toStdString());
        qputenv("XDG_DATA_HOME", home.toUtf8());
        prepare();
        EXPECT_TRUE(QFileInfo(home + QStringLiteral("/Marlowick/Tallyfold/dbData.mdb")).isFile());
        platform::Connection db;
        db.Open(data::connectionString());
        EXPECT_EQ(db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('x')")), 1);
    }
}

TEST(DataFolder, ACopyOfAReadOnlyTemplateIsStillWritable)
{
    LedgerEnvironment env;
    const QString blank = env.programFolder() + QStringLiteral("/dbBlank.mdb");
    QFile::setPermissions(blank, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    prepare();
    EXPECT_TRUE(QFileInfo(env.workingDatabase()).permissions() & QFile::WriteOwner);
    EXPECT_FALSE(QFileInfo(blank).permissions() & QFile::WriteOwner);
}

TEST(SpecialFolder, CommonDataComesFromTheDesktopsDataHome)
{
    KeepHome keep;
    qputenv("XDG_DATA_HOME", "/srv/ledgers/");
    qputenv("HOME", "/home/pat");
    EXPECT_EQ(platform::GetSpecialFolder(35), QStringLiteral("/srv/ledgers"));
    EXPECT_EQ(platform::GetSpecialFolder(26), QString());
    // An empty or relative data home is no data home at all.
    for (const char* unusable : {"", "ledgers"}) {
        qputenv("XDG_DATA_HOME", unusable);
        EXPECT_EQ(platform::GetSpecialFolder(35), QStringLiteral("/home/pat/.local/share")) << unusable;
    }
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("HOME");
    EXPECT_EQ(platform::GetSpecialFolder(35), QString());
    EXPECT_FALSE(platform::FileExists(QString()));
}

