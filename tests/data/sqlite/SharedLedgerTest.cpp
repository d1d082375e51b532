// One ledger file and more than one user: the lock that tells a restore who has the
// file open, a file replaced under a running connection, a close that never holds up
// another's work, and a folder that can only be read.
#include "data/sqlite/Database.h"
#include "platform/UseLock.h"
#include "tests/support/MountedFolder.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

using platform::Connection;
using platform::DbError;
using platform::FileProblem;
using platform::FileRefusal;
using platform::Recordset;
using platform::UseLock;
using testing_support::MountedFolder;
using testing_support::TestEnvironment;
using testing_support::fileHash;

namespace {

const QString kAddAccount = QStringLiteral("insert into Accounts (AccountName) values ('B')");

// The refusal a write meets, "" when it is made.
QString refusalOf(Connection& db, const QString& sql)
{
    try {
        db.Execute(sql);
    } catch (const DbError& e) {
        return e.description();
    }
    return {};
}

QStringList accountNames(Connection& db)
{
    QStringList names;
    Recordset rs;
    rs.Open(QStringLiteral("select AccountName from Accounts order by AccountID"), db);
    for (; !rs.eof(); rs.MoveNext())
        names << rs.Fields(u"AccountName").Value().toString();
    return names;
}

} // namespace

TEST(UseLock, EveryHolderCountsAndARestoreIsAloneOrNothing)
{
    TestEnvironment env;
    env.placeLedger();
    const QString ledger = env.workingDatabase();
    UseLock first(ledger), second(ledger), restore(ledger);
    ASSERT_TRUE(first.share(0));
    ASSERT_TRUE(second.share(0));   // two users at once, even in one process
    EXPECT_FALSE(restore.takeAlone());
    first.release();
    EXPECT_FALSE(restore.takeAlone()) << "the second still holds it";
    second.release();
    ASSERT_TRUE(restore.takeAlone());
    // A restore under way keeps a newcomer out until it lets go.
    EXPECT_FALSE(first.share(0));
    restore.release();
    EXPECT_TRUE(first.share(0));
    EXPECT_TRUE(QFileInfo(UseLock::sideFile(ledger)).isFile());

    // A connection holds it for as long as it is open.
    first.release();
    Connection db;
    db.Open(env.connectionString());
    EXPECT_FALSE(restore.takeAlone());
    db.Close();
    EXPECT_TRUE(restore.takeAlone());
    restore.release();
}

TEST(ReplacedLedger, ACommitIntoAFileNoLongerAtThePathIsRefusedAndNothingLandsAnywhere)
{
    TestEnvironment env;
    env.placeLedger();
    const QString ledger = env.workingDatabase();
    Connection db;
    db.Open(env.connectionString());
    db.Execute(kAddAccount);
    db.BeginTrans();
    db.Execute(kAddAccount);

    // Another program puts a copy of the file in its place as a restore does, the log
    // and shared memory beside it removed first.
    const QString other = ledger + QStringLiteral(".other");
    ASSERT_TRUE(QFile::copy(TALLYFOLD_TEMPLATE, other));
    QFile::remove(ledger + QStringLiteral("-wal"));
    QFile::remove(ledger + QStringLiteral("-shm"));
    ASSERT_EQ(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(ledger).constData()), 0);
    const QByteArray replacement = fileHash(ledger);

    // The pending transaction does not commit, and no later change is made.
    QString refusal;
    try {
        db.CommitTrans();
    } catch (const FileRefusal& e) {
        refusal = e.description();
        EXPECT_FALSE(e.quiet()) << "a refused write is always shown";
    }
    EXPECT_FALSE(refusal.isEmpty());
    EXPECT_EQ(db.problem(), FileProblem::Replaced);
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(refusalOf(db, kAddAccount), refusal);
    db.Close();
    EXPECT_EQ(fileHash(ledger), replacement);
    EXPECT_FALSE(QFile::exists(ledger + QStringLiteral("-wal")) && QFileInfo(ledger + QStringLiteral("-wal")).size() > 0);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "0");

    // Reopened, the connection works on the file now at the path.
    db.Open(env.connectionString());
    EXPECT_EQ(refusalOf(db, kAddAccount), "");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "1");
}

TEST(SharedLedger, ClosingNeverWaitsForAnotherConnectionsRead)
{
    TestEnvironment env;
    env.seedLedger(QStringLiteral("A"), 10);
    // Another copy in the middle of reading: its snapshot is older than what this one
    // writes next.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(env.workingDatabase().toUtf8().constData(), &other), SQLITE_OK);
    sqlite3_stmt* reading = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(other, "select * from Transactions", -1, &reading, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(reading), SQLITE_ROW);

    Connection db;
    db.Open(env.connectionString());
    db.Execute(kAddAccount);
    QElapsedTimer closing;
    closing.start();
    db.Close();
    // Waiting for the read would take the whole busy timeout (5 s), and hold every
    // writer up meanwhile.
    EXPECT_LT(closing.elapsed(), 2500);
    sqlite3_finalize(reading);
    EXPECT_EQ(sqlite3_exec(other, "insert into Accounts (AccountName) values ('C')", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    // The last to close folds the log in: the file holds everything by itself.
    EXPECT_FALSE(QFile::exists(env.workingDatabase() + QStringLiteral("-wal")));
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "3");
}

TEST(SharedLedger, AFolderThatCannotBeWrittenOrAFullDiskOpensReadOnlyWithEveryRow)
{
    for (const MountedFolder::Kind kind : {MountedFolder::ReadOnly, MountedFolder::Full}) {
        SCOPED_TRACE(kind == MountedFolder::ReadOnly ? "read-only file system" : "full disk");
        TestEnvironment env;
        env.seedLedger(QStringLiteral("A"), 3000);
        const QString folder = QFileInfo(env.workingDatabase()).absolutePath();
        const MountedFolder mounted(folder, kind);
        if (!mounted.available())
            GTEST_SKIP() << mounted.problem().toStdString();
        const QByteArray before = fileHash(env.workingDatabase());
        QStringList told;
        Connection db;
        db.setOwner({.describe = [](FileProblem problem, const QString&, const QString& detail) {
                         return QStringLiteral("%1 %2").arg(int(problem)).arg(detail);
                     },
                     .tell = [&](const QString& message) { told << message; },
                     .changed = {},
                     .beforeMigration = {}});
        db.Open(env.connectionString());
        EXPECT_EQ(db.problem(), FileProblem::ReadOnly);
        ASSERT_EQ(told.size(), 1);
        EXPECT_EQ(told[0], QStringLiteral("%1 %2").arg(int(FileProblem::ReadOnly))
                               .arg(kind == MountedFolder::ReadOnly ? "Read-only file system" : "No space left on device"));
        EXPECT_EQ(accountNames(db), QStringList{"A"});
        Recordset rs;
        rs.Open(QStringLiteral("select count(*) as n from Transactions"), db);
        EXPECT_EQ(rs.Fields(u"n").Value().toLongLong(), 3000);
        rs.Close();
        EXPECT_EQ(refusalOf(db, kAddAccount), told[0]);
        db.Close();
        EXPECT_EQ(fileHash(env.workingDatabase()), before);
        EXPECT_EQ(told.size(), 1);
    }
}
