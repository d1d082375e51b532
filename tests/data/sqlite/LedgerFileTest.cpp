// The ledger file itself: damaged, foreign, newer and older files. A file the program
// cannot trust is never written to, and the user hears of it once.
#include "data/sqlite/Database.h"
#include "data/StoredFormat.h"
#include "data/UndoHistory.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
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
        EXPECT_EQ(env.rows(QStringLiteral("pragma user_version")), std::to_string(platform::stored::kLedgerVersion));
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

TEST(LedgerFormat, AFileWithAnUndoHistoryGetsTheImportKeysAndKeepsItsHistoryExactly)
{
    TestEnvironment env;
    env.placeLedger();
    const QString file = env.workingDatabase();
    // A ledger as the format before the import keys left it: an account added and undone
    // once, its history in both tables.
    env.sqlite(QStringLiteral(
        "drop table ImportKeys; alter table UndoSteps drop column ImportKeysSequence; pragma user_version = 3;"
        "insert into Accounts (AccountName) values ('Rent');"
        "insert into Transactions (TransactionDate, AccountID, WithdrawalAmount) values ('2024-03-05', 1, 12.5);"
        "insert into UndoSteps (StepID, Label, Undone, AccountsSequence, TransactionsSequence, TableName, RowKey, Before, "
        "After, A1) values (7, 'Add account Rent', 0, NULL, NULL, 'Accounts', 1, 0, 1, 'Rent');"
        "insert into UndoLog (StepID, Seq, TableName, RowKey, Before, After, A1, A2, A3, A4, A5, A6) "
        "values (7, 2, 'Transactions', 1, 0, 1, '2024-03-05', NULL, 1, 12.5, NULL, NULL);"));
    const QString history = QStringLiteral(
        "select StepID, Label, Undone, quote(AccountsSequence), quote(TransactionsSequence), TableName, RowKey, "
        "Before, After, quote(A1), quote(A4) from UndoSteps union all select StepID, Seq, '', '', '', TableName, "
        "RowKey, Before, After, quote(A1), quote(A4) from UndoLog order by 1, 2");
    const std::string before = env.rows(history);
    const QByteArray fileBefore = fileHash(file);

    Connection db;
    int hookVersion = -1;
    db.setOwner({.describe = {}, .tell = {}, .changed = {}, .beforeMigration = [&](const QString& f, int from) {
                     hookVersion = from;
                     EXPECT_EQ(fileHash(f), fileBefore);
                 }});
    db.Open(env.connectionString());
    EXPECT_EQ(hookVersion, 3);
    EXPECT_EQ(env.rows(QStringLiteral("pragma user_version")), "4");
    EXPECT_EQ(env.rows(history), before);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*), quote(max(ImportKeysSequence)) from UndoSteps")), "1|NULL");
    TestEnvironment blank;
    blank.placeLedger();
    const QString schema = QStringLiteral("select type, name, sql from sqlite_master where name not like 'sqlite%' order by name");
    EXPECT_EQ(env.rows(schema), blank.rows(schema));

    // The old step still undoes, and leaves the new table's counter alone.
    ASSERT_TRUE(db.history().undo());
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "0");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "0");
}
