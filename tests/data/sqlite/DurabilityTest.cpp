// What survives a crash, another program holding the file, and a file or folder that
// cannot be used: the ledger is never left half-written or changed by a failure.
#include "data/sqlite/Database.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <functional>
#include <set>
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

const QString kAddAccount = QStringLiteral("insert into Accounts (AccountName) values ('B')");

// Runs `body` in a forked child and answers the text it gave. With `kill`, the child is
// killed by SIGKILL as soon as the body returns, so nothing gets the chance to close or
// flush anything; without, a child of a root test first gives up root's power to
// ignore file permissions.
std::string inChild(const std::function<std::string()>& body, bool kill)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string out;
        try {
            if (!kill && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                out = "cannot drop root";
            else
                out = body();
        } catch (const std::exception& e) {
            out = std::string("error: ") + e.what();
        }
        (void)!write(fds[1], out.data(), out.size());
        if (kill)
            raise(SIGKILL);
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return kill && !WIFSIGNALED(status) ? text + " (not killed)" : text;
}

} // namespace

TEST(Durability, AStatementThatReturnedSurvivesTheProgramBeingKilled)
{
    TestEnvironment env;
    env.placeLedger();
    const QString connectionString = env.connectionString();

    EXPECT_EQ(inChild([&] {
        Connection db;
        db.Open(connectionString);
        for (int i = 0; i < 3; ++i)
            db.Execute(kAddAccount);
        return std::string();
    }, true), "");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "3");

    // Also while a recordset is still being read: the change does not wait for it.
    EXPECT_EQ(inChild([&] {
        Connection db;
        db.Open(connectionString);
        Recordset rs;
        rs.Open(QStringLiteral("select * from Accounts"), db, 3, 1);
        db.Execute(kAddAccount);
        return std::string();
    }, true), "");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "4");
    EXPECT_EQ(env.rows(QStringLiteral("pragma integrity_check")), "ok");
    EXPECT_FALSE(QFile::exists(env.workingDatabase() + QStringLiteral("-journal")));
}

TEST(Durability, AnotherProgramsWriteLockMakesAStatementWaitThenFail)
{
    TestEnvironment env;
    env.placeLedger();
    Connection db;
    db.Open(env.connectionString());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(env.workingDatabase().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QByteArray before = fileHash(env.workingDatabase());

    QElapsedTimer clock;
    clock.start();
    QString message;
    try {
        db.Execute(kAddAccount);
    } catch (const DbError& e) {
        message = e.description();
    }
    const qint64 waited = clock.elapsed();
    EXPECT_EQ(message, QStringLiteral("database is locked"));
    // It gave the other program the busy timeout's few seconds; a loaded machine only
    // lengthens the wait, so no upper bound is set.
    EXPECT_GE(waited, 4500);
    EXPECT_EQ(fileHash(env.workingDatabase()), before);

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // Once the other program lets go, the same connection carries on.
    db.Execute(kAddAccount);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "1");
}

TEST(Durability, AReadOnlyFileOrFolderRefusesWritesAndKeepsItsBytes)
{
    TestEnvironment env;
    env.seedLedger(QStringLiteral("A"), 0);
    // Lets a dropped-root child reach the files under the test's temporary folder.
    for (const QString& dir : {env.root(), env.dataHome(), env.dataHome() + QStringLiteral("/Marlowick")})
        chmod(dir.toUtf8().constData(), 0755);
    const QByteArray file = env.workingDatabase().toUtf8();
    const QByteArray folder = (env.dataHome() + QStringLiteral("/Marlowick/Tallyfold")).toUtf8();
    const QString connectionString = env.connectionString();
    const auto tryWrite = [&] {
        return inChild([&] {
            Connection db;
            db.Open(connectionString);
            Recordset rs;
            rs.Open(QStringLiteral("select AccountName from Accounts"), db, 3, 1);
            const std::string read = rs.Fields(u"AccountName").Value().toString().toStdString();
            rs.Close();
            try {
                db.Execute(kAddAccount);
            } catch (const DbError& e) {
                return read + "|" + e.what();
            }
            return read + "|written";
        }, false);
    };
    for (const auto& [folderMode, fileMode] : {std::pair{0555, 0666}, std::pair{0777, 0444}}) {
        chmod(folder.constData(), folderMode);
        chmod(file.constData(), fileMode);
        const QByteArray before = fileHash(env.workingDatabase());
        EXPECT_EQ(tryWrite(), "A|attempt to write a readonly database");
        EXPECT_EQ(fileHash(env.workingDatabase()), before);
    }
    chmod(folder.constData(), 0755);
    chmod(file.constData(), 0644);
}

TEST(Durability, KillingAWritingProgramAtRandomMomentsLosesNoAcknowledgedRowAndLeavesTheFileSound)
{
    TestEnvironment env;
    // Enough rows that the long statements below take a while to write.
    env.seedLedger(QStringLiteral("Rent"), 3000);
    const QString connectionString = env.connectionString();
    QRandomGenerator random(20261207);
    std::set<int> acknowledged;
    bool longCommitted = false;
    for (int round = 0; round < 20; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const int first = round * 100000;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            Connection db;
            db.Open(connectionString);
            for (int i = first;; ++i) {
                // Short inserts, and now and then a statement that rewrites every row.
                if (i % 5 == 4)
                    db.Execute(QStringLiteral("update Transactions set Taxable = 1 - Taxable, "
                                              "TransactionDescription = TransactionDescription || '.'"));
                else
                    db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(i));
                // Acknowledged: the statement returned.
                if (write(fds[1], &i, sizeof i) != sizeof i)
                    _exit(1);
            }
        }
        close(fds[1]);
        const auto acknowledge = [&](int i) {
            if (i % 5 != 4)
                acknowledged.insert(i);
            longCommitted = longCommitted || i % 5 == 4;
        };
        // The kill comes a random moment after a number of statements have returned,
        // however fast the disk syncs them: in every other round just as the long
        // statement starts, else once a long one has gone in.
        const int due = round % 2 == 0 ? 4 : int(random.bounded(5, 12));
        int i = 0;
        for (int n = 0; n < due && read(fds[0], &i, sizeof i) == sizeof i; ++n)
            acknowledge(i);
        usleep(useconds_t(random.bounded(0, 20000)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        while (read(fds[0], &i, sizeof i) == sizeof i)
            acknowledge(i);
        close(fds[0]);
    }
    EXPECT_GT(acknowledged.size(), 20u) << "the writer never got going";
    EXPECT_TRUE(longCommitted);
    // The program opens the file after the last kill, as a restart would.
    Connection db;
    db.Open(connectionString);
    EXPECT_EQ(db.problem(), platform::FileProblem::None);
    EXPECT_EQ(env.rows(QStringLiteral("pragma integrity_check")), "ok");
    Recordset rs;
    std::set<int> stored;
    for (rs.Open(QStringLiteral("select AccountName from Accounts where AccountID > 1"), db, 3, 1); !rs.eof(); rs.MoveNext())
        stored.insert(rs.Fields(u"AccountName").Value().toInt());
    for (const int i : acknowledged)
        EXPECT_TRUE(stored.count(i)) << "acknowledged row " << i << " is missing";
    // At most the one statement in flight at each kill went in unacknowledged.
    EXPECT_LE(stored.size(), acknowledged.size() + 20);
    // The long statements went in whole or not at all.
    EXPECT_EQ(env.rows(QStringLiteral("select count(distinct Taxable || '/' || (length(TransactionDescription) - "
                                      "length(rtrim(TransactionDescription, '.')))) from Transactions")), "1");
    EXPECT_NE(env.rows(QStringLiteral("select max(length(TransactionDescription)) from Transactions")), "8")
        << "no long statement ever committed";
}
