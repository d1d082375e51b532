// The ledger file itself: damaged, foreign, newer and older files. A file the program
// cannot trust is never written to, and the user hears of it once.
#include "data/sqlite/Database.h"
#include "data/StoredFormat.h"
#include "tests/support/NoSharedMemory.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThreadPool>
#include <gtest/gtest.h>

using platform::Connection;
using platform::DbError;
using platform::FileProblem;
using platform::FileRefusal;
using platform::Recordset;
using testing_support::TestEnvironment;
using testing_support::fileHash;

namespace {

const QString kAddAccount = QStringLiteral("insert into Accounts (AccountName) values ('B')");

// A connection whose owner notes every message it is asked to tell.
struct WatchedConnection {
    WatchedConnection()
    {
        db.setOwner({
            .describe = [](FileProblem, const QString& file, const QString&) { return QStringLiteral("trouble with ") + file; },
            .tell = [this](const QString& message) { told << message; },
            .changed = {},
            .beforeMigration = {},
        });
    }
    Connection db;
    QStringList told;
};

// The refusal a call raises; fails the test when it raises none.
template <class F>
std::optional<FileRefusal> refusalOf(F&& call)
{
    try {
        call();
    } catch (const FileRefusal& e) {
        return e;
    } catch (const DbError& e) {
        ADD_FAILURE() << "not a refusal: " << e.what();
        return std::nullopt;
    }
    ADD_FAILURE() << "nothing was refused";
    return std::nullopt;
}

// Reads a query to its end or to its first failure; the rows read.
int readAll(Recordset& rs)
{
    int rows = 0;
    try {
        for (; !rs.eof(); rs.MoveNext())
            ++rows;
    } catch (const FileRefusal& e) {
        EXPECT_TRUE(e.quiet()) << "a read stopped by known damage says nothing more";
    }
    return rows;
}

} // namespace

TEST(DamagedLedger, DamageFoundAtTheOpeningLeavesTheFileReadOnlyAndUntouched)
{
    for (const bool letter : {true, false}) {
        SCOPED_TRACE(letter ? "a letter instead of a ledger" : "a zeroed first page");
        TestEnvironment env;
        env.seedLedger(QStringLiteral("Rent"), 10);
        const QString file = env.workingDatabase();
        if (letter) {
            QFile junk(file);
            ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
            junk.write(QByteArray("This is a letter, not a ledger.\n") + QByteArray(5000, 'x'));
        } else {
            testing_support::zeroPage(file, 1);
        }
        const QByteArray before = fileHash(file);

        WatchedConnection w;
        w.db.Open(env.connectionString());
        EXPECT_EQ(w.db.State(), Connection::adStateOpen);
        EXPECT_EQ(w.db.problem(), FileProblem::Damaged);
        EXPECT_EQ(w.told, QStringList{QStringLiteral("trouble with ") + file});
        // Every write is refused with that message; reads stop quietly.
        const auto write = refusalOf([&] { w.db.Execute(kAddAccount); });
        ASSERT_TRUE(write);
        EXPECT_FALSE(write->quiet());
        EXPECT_EQ(write->description(), w.told.value(0));
        EXPECT_TRUE(refusalOf([&] { w.db.BeginTrans(); }));
        Recordset rs;
        EXPECT_TRUE(refusalOf([&] { rs.Open(QStringLiteral("select * from Accounts"), w.db); }));
        EXPECT_EQ(w.told.size(), 1);
        w.db.Close();
        EXPECT_EQ(fileHash(file), before);
        EXPECT_FALSE(QFile::exists(file + QStringLiteral("-wal")));
        EXPECT_FALSE(QFile::exists(file + QStringLiteral("-shm")));
    }
}

TEST(DamagedLedger, DamageFoundByAReadOrTheBackgroundCheckIsToldOnceAndStopsEveryWrite)
{
    constexpr int kRows = 3000;
    for (const bool inTheList : {true, false}) {
        SCOPED_TRACE(inTheList ? "a page of transactions" : "a page of the report table");
        TestEnvironment env;
        env.seedLedger(QStringLiteral("Rent"), kRows);
        const QString file = env.workingDatabase();
        // A page the list reads, or one only the full check visits.
        const std::string page = inTheList
            ? env.rows(QStringLiteral("select pageno from dbstat where name = 'Transactions' and pagetype = 'leaf' "
                                      "order by pageno limit 1 offset 10"))
            : env.rows(QStringLiteral("select rootpage from sqlite_master where name = 'tblReport'"));
        testing_support::zeroPage(file, std::stoi(page));
        const QByteArray before = fileHash(file);

        WatchedConnection w;
        w.db.Open(env.connectionString());
        EXPECT_EQ(w.db.problem(), FileProblem::None);   // the schema itself is sound
        Recordset rs;
        rs.Open(QStringLiteral("select * from Transactions"), w.db);
        const int listed = readAll(rs);
        if (inTheList) {
            EXPECT_GT(listed, 0);
            EXPECT_LT(listed, kRows);
        } else {
            EXPECT_EQ(listed, kRows);
            EXPECT_TRUE(w.told.isEmpty());
            w.db.checkInBackground();
            for (QDeadlineTimer deadline(20000); w.db.checking() && !deadline.hasExpired();)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        EXPECT_EQ(w.db.problem(), FileProblem::Damaged);
        EXPECT_EQ(w.told.size(), 1);
        const auto write = refusalOf([&] { w.db.Execute(kAddAccount); });
        ASSERT_TRUE(write);
        EXPECT_EQ(write->description(), w.told.value(0));
        // What can be read is still read, and that says nothing more.
        Recordset again;
        again.Open(QStringLiteral("select * from Transactions"), w.db);
        EXPECT_EQ(readAll(again), listed);
        EXPECT_EQ(w.told.size(), 1);
        w.db.Close();
        EXPECT_EQ(fileHash(file), before);
    }
}

TEST(DamagedLedger, TheBackgroundCheckEndsWithItsConnectionAndTellsNothingAfterwards)
{
    TestEnvironment env;
    env.seedLedger(QStringLiteral("Rent"), 3000);
    const QString file = env.workingDatabase();
    // Damage only the full check finds.
    testing_support::zeroPage(file, std::stoi(env.rows(QStringLiteral(
        "select rootpage from sqlite_master where name = 'tblReport'"))));
    const auto checkedToTheEnd = [](WatchedConnection& w) {
        for (QDeadlineTimer deadline(60000); w.db.checking() && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return !w.db.checking();
    };

    WatchedConnection w;
    for (const bool finished : {false, true}) {
        w.db.Open(env.connectionString());
        w.db.checkInBackground();
        EXPECT_TRUE(w.db.checking());
        // Closed at once, or once the check is done and its result on its way here.
        if (finished)
            QThreadPool::globalInstance()->waitForDone();
        w.db.Close();
        EXPECT_FALSE(w.db.checking());
        QCoreApplication::processEvents();
        EXPECT_TRUE(w.told.isEmpty()) << (finished ? "finished" : "at once");
    }
    // Left to run, the same check finds the damage and tells it once; a second check
    // is not started on a file already known to be damaged.
    w.db.Open(env.connectionString());
    w.db.checkInBackground();
    ASSERT_TRUE(checkedToTheEnd(w));
    EXPECT_EQ(w.db.problem(), FileProblem::Damaged);
    EXPECT_EQ(w.told.size(), 1);
    w.db.checkInBackground();
    EXPECT_FALSE(w.db.checking());
    w.db.Close();
}

TEST(DamagedLedger, TheCheckMadeNowOrWaitedForFindsWhatTheBackgroundCheckFindsAndTellsItOnce)
{
    TestEnvironment env;
    env.seedLedger(QStringLiteral("Rent"), 3000);
    const QString file = env.workingDatabase();
    testing_support::zeroPage(file, std::stoi(env.rows(QStringLiteral(
        "select rootpage from sqlite_master where name = 'tblReport'"))));
    const QByteArray damaged = fileHash(file);
    for (const bool startedEarly : {false, true}) {
        SCOPED_TRACE(startedEarly ? "waited for" : "made now");
        WatchedConnection w;
        w.db.Open(env.connectionString());
        if (startedEarly)
            w.db.checkInBackground();
        w.db.checkNow();   // no event loop runs meanwhile: the answer comes from here
        EXPECT_FALSE(w.db.checking());
        EXPECT_EQ(w.db.problem(), FileProblem::Damaged);
        ASSERT_EQ(w.told.size(), 1);
        EXPECT_EQ(w.told[0], w.db.problemMessage());
        QCoreApplication::processEvents();
        EXPECT_EQ(w.told.size(), 1);
        w.db.Close();
    }
    EXPECT_EQ(fileHash(file), damaged);
}

TEST(LedgerFormat, AForeignOrNewerFileIsRefusedAndLeftAsItWas)
{
    struct Case { const char* what; const char* sql; FileProblem problem; };
    const Case cases[] = {
        {"a database of something else", "drop table Transactions; drop table Accounts; create table Notes (t)",
         FileProblem::NotALedger},
        {"a ledger of a later version", "pragma user_version = 99", FileProblem::NewerVersion},
        {"a ledger of the next version", "pragma user_version = 5", FileProblem::NewerVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment env;
        env.placeLedger();
        env.sqlite(QString::fromLatin1(c.sql));
        const QByteArray before = fileHash(env.workingDatabase());
        WatchedConnection w;
        const auto opening = refusalOf([&] { w.db.Open(env.connectionString()); });
        ASSERT_TRUE(opening);
        EXPECT_FALSE(opening->quiet());
        EXPECT_EQ(w.db.State(), Connection::adStateClosed);
        EXPECT_EQ(w.db.problem(), c.problem);
        EXPECT_TRUE(w.told.isEmpty()) << "the refused opening itself is the message";
        // Later statements meet the same refusal: writes say so, reads stay quiet.
        const auto write = refusalOf([&] { w.db.Execute(kAddAccount); });
        ASSERT_TRUE(write);
        EXPECT_EQ(write->description(), opening->description());
        Recordset rs;
        const auto read = refusalOf([&] { rs.Open(QStringLiteral("select * from Accounts"), w.db); });
        ASSERT_TRUE(read);
        EXPECT_TRUE(read->quiet());
        w.db.Close();
        EXPECT_EQ(fileHash(env.workingDatabase()), before);
    }
}

namespace {
// The ledger's tables as the first versions made them: amounts of any REAL.
const char* const kFirstSchema = R"(
CREATE TABLE Accounts (AccountID INTEGER PRIMARY KEY AUTOINCREMENT, AccountName TEXT);
CREATE TABLE Transactions (
    TransactionNumber INTEGER PRIMARY KEY AUTOINCREMENT,
    TransactionDate TEXT, TransactionDescription TEXT, AccountID INTEGER,
    WithdrawalAmount REAL, DepositAmount REAL, Taxable INTEGER);
CREATE INDEX TransactionsByAccount ON Transactions (AccountID);
CREATE TABLE tblReport ("Date" TEXT, ValueIn REAL, ValueOut REAL, Account TEXT, Description TEXT);
INSERT INTO Accounts (AccountName) VALUES ('Rent'), ('Food');
INSERT INTO Transactions (TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, DepositAmount, Taxable)
VALUES ('2021-03-05', 'O''Brien', 1, 12345678901234.56, NULL, 1), ('2021-03-06 14:30:00', NULL, 2, 1e999, 0, NULL),
       ('2021-03-07', 'gone', 2, 1, 2, 0);
DELETE FROM Transactions WHERE TransactionNumber = 3;
)";

const QString kEveryRow = QStringLiteral(
    "select a.*, b.*, typeof(WithdrawalAmount) from Transactions a left join Accounts b on b.AccountID = a.AccountID "
    "order by TransactionNumber");
} // namespace

TEST(LedgerFormat, AnOlderFileIsBroughtUpToDateWithEveryRowAndNumberKept)
{
    for (const int version : {0, 1, 2}) {
        SCOPED_TRACE(version);
        TestEnvironment env;
        env.placeLedger();
        const QString file = env.workingDatabase();
        QFile::remove(file);
        env.sqlite(QString::fromLatin1(kFirstSchema) + QStringLiteral("pragma user_version = %1;").arg(version));
        const std::string rowsBefore = env.rows(kEveryRow);
        const QByteArray before = fileHash(file);

        // The hook sees the file as it was, and a hook that throws stops everything.
        Connection refused;
        refused.setOwner({.describe = {}, .tell = {}, .changed = {},
                          .beforeMigration = [](const QString&, int) { throw DbError(QStringLiteral("no backup")); }});
        EXPECT_THROW(refused.Open(env.connectionString()), DbError);
        EXPECT_EQ(fileHash(file), before);

        Connection db;
        QString hookFile;
        int hookVersion = -1;
        db.setOwner({.describe = {}, .tell = {}, .changed = {},
                     .beforeMigration = [&](const QString& f, int from) {
                         hookFile = f;
                         hookVersion = from;
                         EXPECT_EQ(fileHash(f), before);
                     }});
        db.Open(env.connectionString());
        EXPECT_EQ(hookFile, file);
        EXPECT_EQ(hookVersion, version);
        EXPECT_EQ(db.problem(), FileProblem::None);
        EXPECT_EQ(env.rows(QStringLiteral("pragma user_version")), std::to_string(data::stored::kLedgerVersion));
        EXPECT_EQ(env.rows(kEveryRow), rowsBefore);   // the stored infinity included: nothing is lost
        // The tables now are the template's, checks and all.
        TestEnvironment blank;
        blank.placeLedger();
        const QString schema = QStringLiteral("select type, name, sql from sqlite_master where name not like 'sqlite%' order by name");
        EXPECT_EQ(env.rows(schema), blank.rows(schema));
        EXPECT_THROW(db.Execute(QStringLiteral("update Transactions set DepositAmount = 1e999")), DbError);
        // Numbers carry on after the highest ever given, the deleted one included.
        db.Execute(QStringLiteral("insert into Transactions (AccountID) values (1)"));
        EXPECT_EQ(env.rows(QStringLiteral("select max(TransactionNumber) from Transactions")), "4");
    }
}

TEST(LedgerJournal, AJournalTheFileCannotBeGivenFailsTheOpeningWithTheDatabasesReason)
{
    TestEnvironment env;
    env.placeLedger();
    env.sqlite(QStringLiteral("pragma journal_mode = delete"));   // as a file from elsewhere may come
    const std::string before = env.rows(QStringLiteral("select count(*), (select count(*) from Accounts) from Transactions"));
    Connection db;
    {
        // A disk that takes no writes: turning the file to a write-ahead log fails, and
        // the opening says so instead of going on as though it had not been asked.
        testing_support::NoWrites noWrites;
        try {
            db.Open(env.connectionString());
            ADD_FAILURE() << "the opening went on";
        } catch (const platform::DbError& e) {
            EXPECT_TRUE(e.description().startsWith(QStringLiteral("disk I/O error: '"))) << e.description().toStdString();
            EXPECT_TRUE(e.description().endsWith(env.workingDatabase() + u'\'')) << e.description().toStdString();
        }
        EXPECT_EQ(db.State(), Connection::adStateClosed);
    }
    EXPECT_EQ(env.rows(QStringLiteral("pragma journal_mode")), "delete");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*), (select count(*) from Accounts) from Transactions")), before);
    // The disk mended, the same file opens as ever.
    db.Open(env.connectionString());
    EXPECT_TRUE(db.writeAheadLog());
}
