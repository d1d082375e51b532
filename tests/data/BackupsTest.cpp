// Backups of the ledger: made only when it changed, checked, named by their time, kept
// by the retention rule over a calendar of the test's own; never of a damaged ledger,
// and none deleted then; and put back in the ledger's place by a restore.
#include "data/Backups.h"
#include "data/StoredFormat.h"
#include "data/Ledger.h"
#include "data/Restore.h"
#include "data/Undo.h"
#include "data/sqlite/DatabaseCopy.h"
#include "platform/Settings.h"
#include "tests/support/LedgerEnvironment.h"
#include "tests/support/OtherCopy.h"
#include "tests/support/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using data::BackupResult;
using testing_support::LedgerEnvironment;
using testing_support::fileHash;

namespace {

QDateTime at(const char* text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

// The names of the backups there are, newest first.
QStringList backupNames(const QString& ledger)
{
    QStringList names;
    for (const data::Backup& backup : data::backupsOf(ledger))
        names << QFileInfo(backup.path).fileName();
    return names;
}

// A ledger in its folder, closed, with one account and one transaction; the clock
// stopped at a time the test moves on.
class BackupsTest : public ::testing::Test {
protected:
    BackupsTest()
    {
        data::setBackupClock([this] { return clock; });
        env.tellInMessageBoxes();
        env.openLedger();
        env.addAccount(QStringLiteral("Rent"));
        env.addTransaction(QStringLiteral("'2024-03-05','first',1,12.5,0,0"));
        data::releaseConnection();
    }
    ~BackupsTest() override { data::setBackupClock(nullptr); }

    QString ledger() const { return env.workingDatabase(); }
    // A change as the program makes one: through its connection, then closed.
    void change(const QString& description)
    {
        data::createConnection();
        data::connection().Open(data::connectionString());
        data::connection().Execute(QStringLiteral("insert into Transactions (TransactionDescription,AccountID) values ('%1',1)")
                                       .arg(description));
        data::releaseConnection();
    }

    LedgerEnvironment env;
    QDateTime clock = at("2026-03-14T09:26:53");
};

} // namespace

TEST(BackupNames, TheTimeIsInTheNameAndOnlyBackupNamesAreRead)
{
    const QString ledger = QStringLiteral("/data/Marlowick/Tallyfold/dbData.mdb");
    EXPECT_EQ(data::backupName(ledger, at("2026-01-05T10:15:00")), "dbData-2026-01-05-101500.mdb");
    EXPECT_EQ(data::backupName(ledger, at("2026-01-05T10:15:00"), 2), "dbData-2026-01-05-101500-2.mdb");
    EXPECT_EQ(data::backupFolder(ledger), "/data/Marlowick/Tallyfold/Backups");
    struct Case { const char* name; const char* taken; };
    const Case cases[] = {
        {"dbData-2026-01-05-101500.mdb", "2026-01-05T10:15:00"},
        {"dbData-2026-01-05-101500-12.mdb", "2026-01-05T10:15:00"},
        {"dbData-2026-13-05-101500.mdb", nullptr},   // no such month
        {"dbData-2026-01-05-101500.mdb.unchecked", nullptr},
        {"dbData-damaged-2026-01-05-101500.mdb", nullptr},
        {"Backups.ini", nullptr},
        {"other-2026-01-05-101500.mdb", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto taken = data::backupTime(QString::fromLatin1(c.name));
        EXPECT_EQ(taken.has_value(), c.taken != nullptr);
        if (taken && c.taken) {
            EXPECT_EQ(*taken, at(c.taken));
        }
    }
}

TEST(BackupRetention, TheNewestTenAndTheNewestOfEachOfTheLastTwelveMonthsAreKept)
{
    struct Case {
        const char* what;
        std::vector<const char*> taken;
        const char* now;
        std::vector<size_t> expired;
    };
    const Case cases[] = {
        {"ten or fewer: all kept", {"2020-01-01T00:00:00", "2026-03-01T00:00:00"}, "2026-03-14T12:00:00", {}},
        {"the eleventh of one day goes",
         {"2026-03-14T01:00:00", "2026-03-14T02:00:00", "2026-03-14T03:00:00", "2026-03-14T04:00:00",
          "2026-03-14T05:00:00", "2026-03-14T06:00:00", "2026-03-14T07:00:00", "2026-03-14T08:00:00",
          "2026-03-14T09:00:00", "2026-03-14T10:00:00", "2026-03-14T00:30:00"},
         "2026-03-14T12:00:00", {10}},
        {"past the newest ten, the newest of each month stays, for twelve months back",
         {"2026-03-14T10:00:00", "2026-03-13T10:00:00", "2026-03-12T10:00:00", "2026-03-11T10:00:00",
          "2026-03-10T10:00:00", "2026-03-09T10:00:00", "2026-03-08T10:00:00", "2026-03-07T10:00:00",
          "2026-03-06T10:00:00", "2026-03-05T10:00:00",
          "2026-03-01T10:00:00",    // 10: older in March than the ten: goes
          "2026-02-20T10:00:00",    // 11: newest of February: stays
          "2026-02-10T10:00:00",    // 12: goes
          "2025-04-30T23:59:59",    // 13: April 2025, the twelfth month back: stays
          "2025-03-31T10:00:00",    // 14: March 2025 is thirteen months back: goes
          "2024-12-24T10:00:00"},   // 15: goes
         "2026-03-14T12:00:00", {10, 12, 14, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<QDateTime> taken;
        for (const char* t : c.taken)
            taken.push_back(at(t));
        std::vector<size_t> expired = data::expiredBackups(taken, at(c.now));
        std::sort(expired.begin(), expired.end());
        EXPECT_EQ(expired, c.expired);
    }
}

TEST_F(BackupsTest, ABackupIsMadeOnlyWhenTheLedgerChangedAndIsAWholeCheckedCopy)
{
    const BackupResult first = data::backUp(ledger());
    ASSERT_EQ(first.kind, BackupResult::Made) << first.problem.toStdString();
    EXPECT_EQ(QFileInfo(first.backup).fileName(), "dbData-2026-03-14-092653.mdb");
    EXPECT_EQ(platform::quickCheck(first.backup), "");
    EXPECT_EQ(platform::countRows(first.backup, "Transactions"), 1);
    EXPECT_FALSE(QFile::exists(first.backup + QStringLiteral("-wal"))) << "a backup is one file";

    // Opened and closed without a change: nothing new, even an hour later.
    clock = clock.addSecs(3600);
    data::createConnection();
    data::connection().Open(data::connectionString());
    data::releaseConnection();
    EXPECT_EQ(data::backUp(ledger()).kind, BackupResult::Unchanged);

    change(QStringLiteral("second"));
    const BackupResult second = data::backUp(ledger());
    ASSERT_EQ(second.kind, BackupResult::Made);
    EXPECT_EQ(platform::countRows(second.backup, "Transactions"), 2);
    // A change still in the write-ahead log, as another program (or a crash) leaves
    // it, counts too, and is in the copy.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(ledger().toUtf8().constData(), &other), SQLITE_OK);
    sqlite3_exec(other, "delete from Transactions", nullptr, nullptr, nullptr);
    ASSERT_GT(QFileInfo(ledger() + QStringLiteral("-wal")).size(), 0);
    clock = clock.addSecs(1);
    const BackupResult third = data::backUp(ledger());
    EXPECT_EQ(third.kind, BackupResult::Made);
    EXPECT_EQ(platform::countRows(third.backup, "Transactions"), 0);
    clock = clock.addSecs(1);
    EXPECT_EQ(data::backUp(ledger()).kind, BackupResult::Unchanged);
    sqlite3_close(other);
    EXPECT_EQ(backupNames(ledger()).size(), 3);
}

TEST(StartBackup, ALedgerWithNothingInItIsNotBackedUpButOneWithAStepToUndoIs)
{
    LedgerEnvironment env;
    env.openLedger();   // the template, as the first start copies it
    data::releaseConnection();
    data::backUpAtStart();
    EXPECT_TRUE(backupNames(env.workingDatabase()).isEmpty());

    // An account added and deleted again: nothing in the ledger but what can be undone.
    data::createConnection();
    data::connection().Open(data::connectionString());
    for (const char* sql : {"insert into Accounts (AccountName) values ('Rent')", "delete from Accounts"}) {
        const data::UndoStep step(QString::fromLatin1(sql));
        data::connection().Execute(QString::fromLatin1(sql));
    }
    data::releaseConnection();
    data::backUpAtStart();
    EXPECT_EQ(backupNames(env.workingDatabase()).size(), 1);
}

TEST_F(BackupsTest, BackupsAreDeletedByTheRuleAsTheCalendarGoesOn)
{
    // A change and a backup every eight days, fifty times, from New Year 2025.
    clock = at("2025-01-01T08:00:00");
    for (int time = 0; time < 50; ++time) {
        change(QStringLiteral("change %1").arg(time));
        ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made) << time;
        clock = clock.addDays(8);
    }
    // The last was on 2026-01-28: the newest ten (back to 2025-11-17), then the last
    // of each month back to February 2025, the twelfth month.
    QStringList expected;
    for (const char* day : {"2026-01-28", "2026-01-20", "2026-01-12", "2026-01-04", "2025-12-27", "2025-12-19",
                            "2025-12-11", "2025-12-03", "2025-11-25", "2025-11-17", "2025-10-24", "2025-09-30",
                            "2025-08-29", "2025-07-28", "2025-06-26", "2025-05-25", "2025-04-23", "2025-03-30",
                            "2025-02-26"})
        expected << QStringLiteral("dbData-%1-080000.mdb").arg(QLatin1String(day));
    EXPECT_EQ(backupNames(ledger()), expected);
}

TEST_F(BackupsTest, ADamagedLedgerIsNotBackedUpAndNoBackupGoesWhileItIsDamaged)
{
    for (int i = 0; i < 10; ++i) {
        change(QStringLiteral("c%1").arg(i));
        data::backUp(ledger());
        clock = clock.addSecs(1);
    }
    ASSERT_EQ(backupNames(ledger()).size(), 10);
    // Old backups past every rule, which the next backup would delete.
    for (const char* name : {"dbData-2020-01-01-000000.mdb", "dbData-2020-02-01-000000.mdb"})
        QFile::copy(ledger(), data::backupFolder(ledger()) + u'/' + QLatin1String(name));
    change(QStringLiteral("damaged soon"));
    const QStringList before = backupNames(ledger());

    // A page of the transactions zeroed: the copy is as damaged as the ledger.
    testing_support::zeroPage(ledger(), std::stoi(env.rows(
        QStringLiteral("select rootpage from sqlite_master where name = 'Transactions'"))));
    testing_support::ScriptedDialogs dialogs;   // fails on any message
    data::createConnection();
    data::backUpAtStart();
    EXPECT_EQ(data::backUp(ledger()).kind, BackupResult::Damaged);
    EXPECT_EQ(backupNames(ledger()), before);
    EXPECT_TRUE(dialogs.prompts().empty()) << "the opening tells of the damage, nothing else";
    EXPECT_FALSE(QDir(data::backupFolder(ledger())).entryList(QDir::Files).join(u' ').contains(QStringLiteral("unchecked")));

    // Not a database at all.
    QFile junk(ledger());
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
    junk.write(QByteArray(8192, 'x'));
    junk.close();
    EXPECT_EQ(data::backUp(ledger()).kind, BackupResult::Damaged);
    EXPECT_EQ(backupNames(ledger()), before);
}

TEST_F(BackupsTest, AFailingBackupIsToldOnceForAnOpeningAndStopsNothing)
{
    // The backups' folder cannot be made: a file is in its way.
    QFile blocker(data::backupFolder(ledger()));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    testing_support::ScriptedDialogs dialogs;
    dialogs.answerMessage(platform::vbOK);
    data::createConnection();
    data::backUpAtStart();
    data::backUpBeforeMigration(ledger());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("could not make a backup")));
    EXPECT_TRUE(dialogs.messages()[0].contains(data::backupFolder(ledger())));
    EXPECT_EQ(dialogs.prompts()[0].style, platform::vbExclamation);
    data::connection().Open(data::connectionString());
    EXPECT_EQ(data::connection().problem(), platform::FileProblem::None);
}

TEST_F(BackupsTest, ARestorePutsTheBackupBackAndKeepsTheLedgerItReplaced)
{
    ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
    const std::string atBackup = env.rows(QStringLiteral("select * from Transactions"));
    clock = clock.addSecs(60);
    change(QStringLiteral("after the backup"));
    const std::string changed = env.rows(QStringLiteral("select * from Transactions"));

    data::createConnection();
    data::connection().Open(data::connectionString());
    const std::vector<data::BackupEntry> backups = data::listBackups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].transactions, 1);
    EXPECT_EQ(backups[0].bytes, QFileInfo(backups[0].path).size());
    const data::RestoreOutcome outcome = data::restoreBackup(backups[0]);
    ASSERT_TRUE(outcome.restored) << outcome.message.toStdString();
    EXPECT_EQ(outcome.message, QStringLiteral("The ledger has been restored from the backup of 3/14/2026 9:26:53 AM "
                                              "(1 transaction).\r\n\r\nThe ledger as it was before is kept in the "
                                              "backup of 3/14/2026 9:27:53 AM."));
    EXPECT_EQ(data::connection().State(), data::Connection::adStateOpen);
    EXPECT_EQ(env.rows(QStringLiteral("select * from Transactions")), atBackup);
    // The ledger it replaced is the newest backup now, whole.
    const std::vector<data::BackupEntry> after = data::listBackups();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].transactions, 2);
    data::releaseConnection();
    data::createConnection();
    data::connection().Open(data::connectionString());
    EXPECT_TRUE(data::restoreBackup(after[0]).restored);
    EXPECT_EQ(env.rows(QStringLiteral("select * from Transactions")), changed);
}

TEST_F(BackupsTest, ADamagedBackupIsFoundAndNotRestored)
{
    ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
    const data::BackupEntry backup = data::listBackups().at(0);
    testing_support::zeroPage(backup.path, std::stoi(env.rows(
        QStringLiteral("select rootpage from sqlite_master where name = 'Transactions'"))));
    EXPECT_NE(platform::quickCheck(backup.path), "");
    change(QStringLiteral("kept"));
    const QByteArray before = fileHash(ledger());
    data::createConnection();
    data::connection().Open(data::connectionString());
    const data::RestoreOutcome outcome = data::restoreBackup(backup);
    EXPECT_FALSE(outcome.restored);
    EXPECT_TRUE(outcome.message.startsWith(QStringLiteral("This backup is damaged and cannot be restored")));
    EXPECT_EQ(data::connection().State(), data::Connection::adStateOpen);
    data::releaseConnection();
    EXPECT_EQ(fileHash(ledger()), before);
}

TEST_F(BackupsTest, ARestoreOverADamagedLedgerKeepsTheDamagedFileAside)
{
    ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
    const data::BackupEntry backup = data::listBackups().at(0);
    change(QStringLiteral("lost to damage"));
    testing_support::zeroPage(ledger(), std::stoi(env.rows(
        QStringLiteral("select rootpage from sqlite_master where name = 'Transactions'"))));
    const QByteArray damaged = fileHash(ledger());
    testing_support::ScriptedDialogs dialogs;
    dialogs.answerMessage(platform::vbOK);   // the damage, when the first read meets it
    data::createConnection();
    data::connection().Open(data::connectionString());
    data::Recordset rs;
    EXPECT_THROW(rs.Open(QStringLiteral("select * from Transactions"), data::connection()), platform::DbError);
    ASSERT_EQ(data::ledgerProblem(), platform::FileProblem::Damaged);

    const data::RestoreOutcome outcome = data::restoreBackup(backup);
    ASSERT_TRUE(outcome.restored) << outcome.message.toStdString();
    EXPECT_EQ(data::ledgerProblem(), platform::FileProblem::None);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions")), "first");
    const QStringList aside = QDir(data::backupFolder(ledger())).entryList({QStringLiteral("dbData-damaged-*.mdb")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(outcome.message.contains(aside[0]));
    EXPECT_EQ(fileHash(data::backupFolder(ledger()) + u'/' + aside[0]), damaged);
    EXPECT_EQ(backupNames(ledger()).size(), 1) << "a damaged file is no backup";
}

TEST_F(BackupsTest, AReadOnlyDataFolderGivesAClearFailure)
{
    // As any user but root, whose power to write anywhere would hide the folder's mode.
    const QString folder = QFileInfo(ledger()).absolutePath();
    for (const QString& dir : {env.root(), env.dataHome(), env.dataHome() + QStringLiteral("/Marlowick")})
        chmod(dir.toUtf8().constData(), 0755);
    chmod(folder.toUtf8().constData(), 0555);
    chmod(ledger().toUtf8().constData(), 0644);
    const int was = setfsuid(65534);
    const BackupResult result = data::backUp(ledger());
    setfsuid(was);
    chmod(folder.toUtf8().constData(), 0755);
    EXPECT_EQ(result.kind, BackupResult::Failed);
    EXPECT_EQ(result.problem, "The folder could not be made.");
    EXPECT_FALSE(QFileInfo::exists(data::backupFolder(ledger())));
}

TEST_F(BackupsTest, AnOlderLedgerIsBackedUpAsItWasBeforeItIsBroughtUpToDate)
{
    // A ledger of format 2, before the undo history.
    env.sqlite(QStringLiteral("drop table UndoLog; drop table UndoSteps; drop table ImportKeys; pragma user_version = 2"));
    data::createConnection();
    data::connection().Open(data::connectionString());
    EXPECT_EQ(env.rows(QStringLiteral("pragma user_version")), std::to_string(data::stored::kLedgerVersion));
    const std::vector<data::Backup> backups = data::backupsOf(ledger());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(platform::countRows(backups[0].path, "Transactions"), 1);
    EXPECT_EQ(platform::countRows(backups[0].path, "UndoSteps"), std::nullopt) << "the file as it was";
}

namespace {

// A backup put among the backups under a name of its own.
QString placeBackup(const QString& ledger, const QString& from, const char* name)
{
    const QString path = data::backupFolder(ledger) + u'/' + QLatin1String(name);
    QDir().mkpath(data::backupFolder(ledger));
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(from, path)) << name;
    return path;
}

data::BackupEntry entryFor(const QString& path)
{
    return {path, *data::backupTime(QFileInfo(path).fileName()), QFileInfo(path).size(), std::nullopt};
}

} // namespace

TEST(BackupRetention, BackupsDatedInTheFutureNeverPushOutTheOnesUpToNow)
{
    struct Case {
        const char* what;
        std::vector<const char*> taken;
        std::vector<size_t> expired;
    };
    const char* now = "2026-03-14T12:00:00";
    const Case cases[] = {
        {"ten real ones and a future one: the future one counts as the oldest, and goes",
         {"2031-01-01T00:00:00", "2026-03-14T01:00:00", "2026-03-14T02:00:00", "2026-03-14T03:00:00",
          "2026-03-14T04:00:00", "2026-03-14T05:00:00", "2026-03-14T06:00:00", "2026-03-14T07:00:00",
          "2026-03-14T08:00:00", "2026-03-14T09:00:00", "2026-03-14T10:00:00"},
         {0}},
        {"fewer than ten up to now: the future ones fill up the ten, newest first",
         {"2031-01-01T00:00:00", "2030-01-01T00:00:00", "2026-03-14T01:00:00", "2026-02-01T00:00:00"}, {}},
        {"a future month is no month of the last twelve",
         {"2026-03-14T01:00:00", "2026-03-14T02:00:00", "2026-03-14T03:00:00", "2026-03-14T04:00:00",
          "2026-03-14T05:00:00", "2026-03-14T06:00:00", "2026-03-14T07:00:00", "2026-03-14T08:00:00",
          "2026-03-14T09:00:00", "2026-03-14T10:00:00", "2026-04-02T00:00:00", "2026-02-10T00:00:00"},
         {10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<QDateTime> taken;
        for (const char* t : c.taken)
            taken.push_back(at(t));
        std::vector<size_t> expired = data::expiredBackups(taken, at(now));
        std::sort(expired.begin(), expired.end());
        EXPECT_EQ(expired, c.expired);
    }
}

TEST_F(BackupsTest, OnlyASoundLedgerThisVersionReadsCountsAsABackup)
{
    // Ten real backups, one a second.
    for (int i = 0; i < 10; ++i) {
        change(QStringLiteral("c%1").arg(i));
        ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
        clock = clock.addSecs(1);
    }
    const QStringList real = backupNames(ledger());
    // Newer by their names than every real one: another program's database, an empty
    // database, a ledger of a newer format, a damaged ledger, and a file of junk.
    const QString other = env.root() + QStringLiteral("/other.db");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(other.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "create table Things (Name text); insert into Things values ('x')", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QString empty = env.root() + QStringLiteral("/empty.db");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(empty.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "pragma user_version = 1", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QString newer = placeBackup(ledger(), ledger(), "dbData-2026-03-20-000000.mdb");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(newer.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "pragma user_version = 99", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QString damaged = placeBackup(ledger(), ledger(), "dbData-2026-03-20-000001.mdb");
    testing_support::zeroPage(damaged, std::stoi(env.rows(
        QStringLiteral("select rootpage from sqlite_master where name = 'Transactions'"))));
    const QString junk = data::backupFolder(ledger()) + QStringLiteral("/dbData-2026-03-20-000002.mdb");
    {
        QFile file(junk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'j'));
    }
    const QStringList bad = {placeBackup(ledger(), other, "dbData-2026-03-20-000003.mdb"),
                             placeBackup(ledger(), empty, "dbData-2026-03-20-000004.mdb"), newer, damaged, junk};

    // None is listed, none is restored, and none counts among the newest ten.
    EXPECT_EQ(backupNames(ledger()), real);
    data::createConnection();
    data::connection().Open(data::connectionString());
    EXPECT_EQ(data::listBackups().size(), 10u);
    const QByteArray before = fileHash(ledger());
    for (const QString& path : bad) {
        SCOPED_TRACE(path.toStdString());
        const data::RestoreOutcome outcome = data::restoreBackup(entryFor(path));
        EXPECT_FALSE(outcome.restored);
        EXPECT_TRUE(outcome.message.contains(QDir::toNativeSeparators(path))) << outcome.message.toStdString();
        EXPECT_TRUE(outcome.message.contains(QStringLiteral("The ledger is as it was.")));
        EXPECT_EQ(data::connection().State(), data::Connection::adStateOpen);
    }
    data::releaseConnection();
    EXPECT_EQ(fileHash(ledger()), before);
    change(QStringLiteral("one more"));
    clock = clock.addSecs(1);
    ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
    const QStringList after = backupNames(ledger());
    EXPECT_EQ(after.mid(1), real.mid(0, 9)) << "the eleventh real one goes, nothing else";
    for (const QString& path : bad)
        EXPECT_TRUE(QFile::exists(path)) << "no file of another's is deleted";

    // A working file that is no ledger is not backed up either: the opening refuses it.
    QFile::remove(ledger());
    ASSERT_TRUE(QFile::copy(other, ledger()));
    EXPECT_EQ(data::backUp(ledger()).kind, BackupResult::NotALedger);
    EXPECT_EQ(backupNames(ledger()), after);
}

TEST_F(BackupsTest, TheBackupChosenIsNeverDeletedByItsOwnRestore)
{
    // Ten backups this month; the oldest is chosen. The restore's own backup of the
    // ledger makes eleven, and the rule would delete the chosen one.
    for (int i = 0; i < 10; ++i) {
        change(QStringLiteral("c%1").arg(i));
        ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
        clock = clock.addSecs(60);
    }
    change(QStringLiteral("the ledger now"));
    data::createConnection();
    data::connection().Open(data::connectionString());
    const std::vector<data::BackupEntry> backups = data::listBackups();
    ASSERT_EQ(backups.size(), 10u);
    const data::BackupEntry oldest = backups.back();
    const data::RestoreOutcome outcome = data::restoreBackup(oldest);
    ASSERT_TRUE(outcome.restored) << outcome.message.toStdString();
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "2");
    EXPECT_TRUE(QFile::exists(oldest.path));
}

TEST_F(BackupsTest, ARestoreIsRefusedWhileAnotherCopyHasTheLedgerOpenAndThatCopyLosesNothing)
{
    ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
    const data::BackupEntry backup = data::listBackups().at(0);
    clock = clock.addSecs(60);
    change(QStringLiteral("after the backup"));
    testing_support::OtherCopy copy;
    ASSERT_EQ(copy.send(QStringLiteral("open")), "opened");
    ASSERT_EQ(copy.send(QStringLiteral("add from the other copy")), "added");

    data::createConnection();
    data::connection().Open(data::connectionString());
    const QByteArray before = fileHash(ledger());
    const data::RestoreOutcome refused = data::restoreBackup(backup);
    EXPECT_FALSE(refused.restored);
    EXPECT_EQ(refused.message, "Nothing was restored: Another copy of Tallyfold, or another program, has the ledger "
                               "open. Close it, then restore again.\r\n\r\nThe ledger is as it was.");
    EXPECT_EQ(data::connection().State(), data::Connection::adStateOpen);
    EXPECT_EQ(data::connection().problem(), platform::FileProblem::None);
    EXPECT_EQ(backupNames(ledger()).size(), 1) << "not even the backup before it was made";
    // Both copies go on writing to the ledger itself.
    EXPECT_EQ(copy.send(QStringLiteral("add later")), "added");
    data::connection().Execute(QStringLiteral("insert into Transactions (TransactionDescription,AccountID) values ('mine',1)"));
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions order by 1")),
              "after the backup; first; from the other copy; later; mine");
    EXPECT_NE(fileHash(ledger()), before);

    // Once the other copy has closed, the restore goes ahead.
    EXPECT_EQ(copy.send(QStringLiteral("close")), "closed");
    EXPECT_TRUE(copy.told().isEmpty()) << copy.told().join(u'\n').toStdString();
    const data::RestoreOutcome restored = data::restoreBackup(backup);
    ASSERT_TRUE(restored.restored) << restored.message.toStdString();
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions")), "first");
}

TEST_F(BackupsTest, ACopyWhoseLedgerWasReplacedUnderItRefusesItsChangesWithOneMessage)
{
    testing_support::OtherCopy copy;
    ASSERT_EQ(copy.send(QStringLiteral("open")), "opened");
    // Put in its place as a program that knows nothing of the lock would, its log and
    // shared memory removed first.
    const QString incoming = ledger() + QStringLiteral(".incoming");
    ASSERT_TRUE(QFile::copy(ledger(), incoming));
    QFile::remove(ledger() + QStringLiteral("-wal"));
    QFile::remove(ledger() + QStringLiteral("-shm"));
    ASSERT_EQ(std::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(ledger()).constData()), 0);
    const QByteArray replacement = fileHash(ledger());

    const QString refused = copy.send(QStringLiteral("add lost"));
    EXPECT_TRUE(refused.startsWith(QStringLiteral("refused: The ledger file has been replaced or removed by another "
                                                  "program while Tallyfold had it open")))
        << refused.toStdString();
    EXPECT_EQ(copy.send(QStringLiteral("add lost too")), refused);
    EXPECT_EQ(copy.send(QStringLiteral("close")), "closed");
    EXPECT_TRUE(copy.told().isEmpty()) << "the refusal is the one message";
    EXPECT_EQ(fileHash(ledger()), replacement);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions")), "first");
}

TEST_F(BackupsTest, WhatAKilledBackupLeftIsRemovedAtTheNextStartUnlessAnotherCopyIsAtWork)
{
    change(QStringLiteral("changed"));
    const QString leftover = placeBackup(ledger(), ledger(), "dbData-2026-03-13-101010.mdb.unchecked");
    const QString restoring = ledger() + QStringLiteral(".restoring");
    ASSERT_TRUE(QFile::copy(ledger(), restoring));
    {
        testing_support::OtherCopy copy;
        ASSERT_EQ(copy.send(QStringLiteral("open")), "opened");
        data::backUpAtStart();
        EXPECT_TRUE(QFile::exists(leftover)) << "it may be the other copy's, still being made";
        EXPECT_EQ(copy.send(QStringLiteral("close")), "closed");
    }
    clock = clock.addSecs(1);
    change(QStringLiteral("changed again"));
    data::backUpAtStart();
    EXPECT_FALSE(QFile::exists(leftover));
    EXPECT_FALSE(QFile::exists(restoring));
    EXPECT_EQ(backupNames(ledger()).size(), 2);
}

TEST_F(BackupsTest, TheFactsFileIsReadNoFurtherThanTheSettingsAndAFailureToWriteItIsTold)
{
    ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
    const QString facts = data::backupFolder(ledger()) + QStringLiteral("/Backups.ini");
    // Junk appended past any sensible size: read no further than the settings are, and
    // rewritten without it.
    {
        QFile file(facts);
        ASSERT_TRUE(file.open(QIODevice::Append));
        const QByteArray junk = QByteArray(1023, 'j') + '\n';
        for (int i = 0; i < 4096; ++i)
            file.write(junk);
    }
    EXPECT_EQ(data::backUp(ledger()).kind, BackupResult::Unchanged) << "the facts ahead of the junk are read";
    change(QStringLiteral("changed"));
    clock = clock.addSecs(1);
    ASSERT_EQ(data::backUp(ledger()).kind, BackupResult::Made);
    EXPECT_LE(QFileInfo(facts).size(), platform::settings::kMaxFileBytes);
    EXPECT_EQ(data::backUp(ledger()).kind, BackupResult::Unchanged);
    {
        QFile file(facts);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().contains("jjjj"));
    }

    // A facts file that cannot be written: the backup is made, and the user hears why
    // the next start will make another.
    QFile::remove(facts);
    ASSERT_TRUE(QDir().mkpath(facts));   // a folder in its place
    change(QStringLiteral("changed again"));
    clock = clock.addSecs(1);
    const BackupResult made = data::backUp(ledger());
    ASSERT_EQ(made.kind, BackupResult::Made);
    EXPECT_FALSE(made.problem.isEmpty());
    testing_support::ScriptedDialogs dialogs;
    dialogs.answerMessage(platform::vbOK);
    change(QStringLiteral("and again"));
    clock = clock.addSecs(1);
    data::createConnection();
    data::backUpAtStart();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("Tallyfold made a backup of the ledger in")));
    EXPECT_TRUE(dialogs.messages()[0].contains(facts)) << dialogs.messages()[0].toStdString();
}
