// What survives a crash, another program holding the file, and a file or folder that
// cannot be used: the ledger is never left half-written or changed by a failure.
#include "data/Ledger.h"
#include "platform/Database.h"
#include "tests/support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::Connection;
using platform::DbError;
using platform::Recordset;
using testing_support::TestEnvironment;
using testing_support::fileHash;

namespace {

long long rawCount(const QString& file, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    long long n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return n;
}

const char* const kInsert = "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                            "WithdrawalAmount,DepositAmount,Taxable) values (#03/05/2021#,'crash',1,1,2,0)";

// Runs `body` in a forked child and kills it with SIGKILL as soon as the body returns,
// so nothing gets the chance to close or flush anything.
void runThenKill(const std::function<void()>& body)
{
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        try {
            body();
        } catch (...) {
            _exit(3);
        }
        raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

// Runs `body` in a forked child that, when this test runs as root, gives up root's
// power to ignore file permissions. Answers the text the body returned.
std::string runUnprivileged(const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string out;
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            out = "cannot drop root";
        else {
            try {
                out = body();
            } catch (const std::exception& e) {
                out = std::string("error: ") + e.what();
            }
        }
        (void)!write(fds[1], out.data(), out.size());
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return text;
}

// Lets a dropped-root child reach the files under the test's temporary folder.
void openUpFolders(const TestEnvironment& env)
{
    for (const QString& dir : {env.root(), env.dataHome(), env.dataHome() + QStringLiteral("/Marlowick")})
        chmod(dir.toUtf8().constData(), 0755);
}

} // namespace

TEST(Durability, AStatementThatReturnedSurvivesTheProgramBeingKilled)
{
    TestEnvironment env;
    env.openLedger();
    data::connection().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Bank')"));
    data::releaseConnection();
    const QString connectionString = data::connectionString();

    runThenKill([&] {
        Connection db;
        db.Open(connectionString);
        for (int i = 0; i < 3; ++i)
            db.Execute(QString::fromUtf8(kInsert));
    });
    EXPECT_EQ(rawCount(env.workingDatabase(), "select count(*) from Transactions"), 3);

    // Also while a recordset is still being read: the change does not wait for it.
    runThenKill([&] {
        Connection db;
        db.Open(connectionString);
        Recordset rs;
        rs.Open(QStringLiteral("select * from Transactions"), db, 3, 1);
        db.Execute(QString::fromUtf8(kInsert));
    });
    EXPECT_EQ(rawCount(env.workingDatabase(), "select count(*) from Transactions"), 4);
    EXPECT_EQ(rawCount(env.workingDatabase(), "select count(*) from pragma_integrity_check where integrity_check='ok'"), 1);
    EXPECT_FALSE(QFile::exists(env.workingDatabase() + QStringLiteral("-journal")));
}

TEST(Durability, EveryCommitIsFullySynced)
{
    TestEnvironment env;
    env.openLedger();
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(data::connection().handle(), "PRAGMA synchronous", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 2);
    sqlite3_finalize(stmt);
}

TEST(Durability, AWriteWhileARecordsetIsOpenCommitsAtOnce)
{
    TestEnvironment env;
    env.openLedger();
    auto& db = data::connection();
    db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('A')"));
    db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('B')"));

    Recordset rs;
    rs.Open(QStringLiteral("select * from Accounts order by AccountName"), db, 3, 1);
    ASSERT_FALSE(rs.eof());
    db.Execute(QStringLiteral("delete from tblReport"));
    db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('C')"));
    EXPECT_EQ(rawCount(env.workingDatabase(), "select count(*) from Accounts"), 3);
    // The open recordset still shows the rows as they were when it was opened.
    QStringList seen;
    while (!rs.eof()) {
        seen << rs.Fields(u"AccountName").Value().toString();
        rs.MoveNext();
    }
    rs.Close();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
}

TEST(Durability, AnotherProgramsWriteLockMakesAStatementWaitThenFail)
{
    TestEnvironment env;
    env.openLedger();
    auto& db = data::connection();
    db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('A')"));

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(env.workingDatabase().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QByteArray before = fileHash(env.workingDatabase());

    QElapsedTimer clock;
    clock.start();
    QString message;
    try {
        db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('B')"));
    } catch (const DbError& e) {
        message = e.description();
    }
    const qint64 waited = clock.elapsed();
    EXPECT_EQ(message, QStringLiteral("database is locked"));
    EXPECT_GE(waited, 4500);
    EXPECT_LT(waited, 15000);
    EXPECT_EQ(fileHash(env.workingDatabase()), before);

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // Once the other program lets go, the same connection carries on.
    db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('B')"));
    EXPECT_EQ(rawCount(env.workingDatabase(), "select count(*) from Accounts"), 2);
}

TEST(Durability, AFileThatIsNoDatabaseIsRefusedAndLeftAsItWas)
{
    TestEnvironment env;
    env.openLedger();
    data::releaseConnection();
    const QString file = env.workingDatabase();
    {
        QFile junk(file);
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray bytes("This is a letter, not a ledger.\n");
        bytes += QByteArray(5000, 'x');
        junk.write(bytes);
    }
    const QByteArray before = fileHash(file);
    Connection db;
    QString message;
    try {
        db.Open(data::connectionString());
    } catch (const DbError& e) {
        message = e.description();
    }
    EXPECT_TRUE(message.startsWith(QStringLiteral("file is not a database"))) << message.toStdString();
    EXPECT_TRUE(message.contains(file));
    EXPECT_EQ(db.State(), Connection::adStateClosed);
    EXPECT_EQ(fileHash(file), before);
}

TEST(Durability, AReadOnlyFileOrFolderRefusesWritesAndKeepsItsBytes)
{
    TestEnvironment env;
    env.openLedger();
    data::connection().Execute(QStringLiteral("insert into Accounts (AccountName) values ('A')"));
    data::releaseConnection();
    openUpFolders(env);
    const QString file = env.workingDatabase();
    const QString folder = env.dataHome() + QStringLiteral("/Marlowick/Tallyfold");
    const QString connectionString = data::connectionString();
    auto tryWrite = [&] {
        return runUnprivileged([&] {
            Connection db;
            db.Open(connectionString);
            Recordset rs;
            rs.Open(QStringLiteral("select AccountName from Accounts"), db, 3, 1);
            const std::string read = rs.Fields(u"AccountName").Value().toString().toStdString();
            rs.Close();
            try {
                db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('B')"));
            } catch (const DbError& e) {
                return read + "|" + e.what();
            }
            return read + "|written";
        });
    };

    chmod(folder.toUtf8().constData(), 0555);
    chmod(file.toUtf8().constData(), 0666);
    QByteArray before = fileHash(file);
    EXPECT_EQ(tryWrite(), "A|attempt to write a readonly database");
    EXPECT_EQ(fileHash(file), before);

    chmod(folder.toUtf8().constData(), 0777);
    chmod(file.toUtf8().constData(), 0444);
    before = fileHash(file);
    EXPECT_EQ(tryWrite(), "A|attempt to write a readonly database");
    EXPECT_EQ(fileHash(file), before);
    chmod(folder.toUtf8().constData(), 0755);
    chmod(file.toUtf8().constData(), 0644);
}
