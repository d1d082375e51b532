// The connection and recordset the windows use, on a real ledger file.
#include "data/sqlite/Database.h"
#include "tests/support/NoSharedMemory.h"
#include "tests/support/TestEnvironment.h"

#include <QDate>
#include <QFile>
#include <QTest>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

using platform::Connection;
using platform::DbError;
using platform::Recordset;
using testing_support::NoSharedMemory;
using testing_support::TestEnvironment;

namespace {

void addRows(const TestEnvironment& env, int rows)
{
    env.sqlite(QStringLiteral(
        "insert into Accounts (AccountName) values ('Rent');"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
        "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,"
        "DepositAmount,Taxable) select '2024-01-01', 'row ' || i, 1, case when i % 7 = 0 then null else i end, "
        "0, i % 2 from n").arg(rows));
}

// The description of the error a call raises, or "" when it raised none.
template <class F>
QString errorOf(F&& call)
{
    try {
        call();
    } catch (const DbError& e) {
        return e.description();
    }
    return {};
}

class LedgerConnection : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.placeLedger();
        m_db.Open(env.connectionString());
    }
    Connection& db() { return m_db; }

    TestEnvironment env;
    Connection m_db;
};

// What a connection tells its observer, in order; it takes part in every write.
class HeardWrites : public platform::WriteObserver {
public:
    void opened(sqlite3* writer) override { heard.push_back(writer ? "opened" : "opened without a writer"); }
    void closing() override { heard.push_back("closing"); }
    bool beforeWrite(const char* sql) override
    {
        heard.push_back(std::string("before ") + (std::strstr(sql, "Accounts") ? "Accounts" : sql));
        return true;
    }
    void written() override { heard.push_back("written"); }
    void abandoned() noexcept override { heard.push_back("abandoned"); }
    std::vector<std::string> heard;
};

} // namespace

TEST_F(LedgerConnection, AnObserverHearsOfEveryWriteAndHowItEndedButOfNoRead)
{
    HeardWrites observer;
    db().setObserver(&observer);   // on an open connection: it hears so at once
    db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    Recordset rs;
    rs.Open(QStringLiteral("select * from Accounts"), db(), 3, 1);
    rs.Close();
    EXPECT_THROW(db().Execute(QStringLiteral("update Accounts set AccountID = 'x'")), DbError);
    db().Close();
    EXPECT_EQ(observer.heard, (std::vector<std::string>{"opened", "before Accounts", "written", "before Accounts",
                                                        "abandoned", "closing"}));
    db().setObserver(nullptr);
}

TEST_F(LedgerConnection, OpensOnceAndRefusesAMissingFileWithoutCreatingIt)
{
    Connection second;
    second.Open(env.connectionString());
    EXPECT_EQ(errorOf([&] { second.Open(env.connectionString()); }),
              QStringLiteral("Operation is not allowed when the object is open."));
    second.Close();
    EXPECT_EQ(second.State(), Connection::adStateClosed);
    Recordset rs;
    EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("select * from Accounts"), second, 3, 1); }),
              QStringLiteral("Operation is not allowed when the object is closed."));
    const QString missing = env.root() + QStringLiteral("/nowhere.mdb");
    EXPECT_TRUE(errorOf([&] {
        second.Open(QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + missing
                    + QStringLiteral(";JET OLEDB:Database Password="));
    }).startsWith(QStringLiteral("Could not find file")));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(LedgerConnection, StoredValuesReadBackInTheirKinds)
{
    env.sqlite(QStringLiteral(
        "insert into Accounts (AccountID, AccountName) values (4, '');"
        "insert into Transactions (TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, "
        "DepositAmount, Taxable) values ('2021-03-05', '', 4, 0, NULL, NULL), "
        "('2021-03-06 14:30:00', NULL, 4, 12.5, 7, 1);"));
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID "
                           "order by TransactionNumber"),
            db(), 3, 1);
    ASSERT_FALSE(rs.eof());
    // Null, zero and the empty text stay three different things.
    EXPECT_FALSE(rs.Fields(u"DepositAmount").Value().isValid());
    EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value(), QVariant(0.0));
    EXPECT_EQ(rs.Fields(u"TransactionDescription").Value(), QVariant(QString()));
    EXPECT_TRUE(rs.Fields(u"TransactionDescription").Value().isValid());
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(false));
    EXPECT_EQ(rs.Fields(u"TransactionDate").Value(), QVariant(QDate(2021, 3, 5)));
    EXPECT_EQ(rs.Fields(u"AccountID").Value().toLongLong(), 4);
    rs.MoveNext();
    EXPECT_FALSE(rs.Fields(u"TransactionDescription").Value().isValid());
    EXPECT_EQ(rs.Fields(u"DepositAmount").Value(), QVariant(7.0));
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(true));
    EXPECT_EQ(rs.Fields(u"TransactionDate").Value(), QVariant(QDateTime(QDate(2021, 3, 6), QTime(14, 30))));
    rs.MoveNext();
    EXPECT_TRUE(rs.eof());
    // Past the last row, reading and moving are refused, not undefined.
    EXPECT_FALSE(errorOf([&] { rs.Fields(u"AccountID").Value(); }).isEmpty());
    EXPECT_FALSE(errorOf([&] { rs.MoveNext(); }).isEmpty());
}

TEST_F(LedgerConnection, WritesKeepTheStoredFormatAndCountTheirRows)
{
    const QString insert = QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                          "WithdrawalAmount,DepositAmount,Taxable) values (#03/05/2021#,'d',1,5,0,1)");
    EXPECT_EQ(db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('A')")), 1);
    db().Execute(insert);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDate, typeof(WithdrawalAmount), Taxable from Transactions")),
              "2021-03-05|real|1");
    // Auto-numbers are never reused, even for the highest number after a delete.
    EXPECT_EQ(db().Execute(QStringLiteral("delete from [Transactions] where TransactionNumber=1")), 1);
    db().Execute(insert);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionNumber from Transactions")), "2");
    EXPECT_EQ(db().Execute(QStringLiteral("update Transactions set Taxable=1 where TransactionNumber=99")), 0);
    // A value that is no date or number is refused by the file itself.
    EXPECT_FALSE(errorOf([&] { db().Execute(QStringLiteral("update Transactions set WithdrawalAmount='12abc'")); })
                     .isEmpty());
    EXPECT_FALSE(errorOf([&] { db().Execute(QStringLiteral("update Transactions set TransactionDate='soon'")); })
                     .isEmpty());
    EXPECT_EQ(env.rows(QStringLiteral("select WithdrawalAmount, TransactionDate from Transactions")), "5.0|2021-03-05");
}

TEST_F(LedgerConnection, FailuresCarryTheDatabasesOwnMessage)
{
    EXPECT_EQ(errorOf([&] { db().Execute(QStringLiteral("delete from Nope")); }), QStringLiteral("no such table: Nope"));
    Recordset rs;
    // A misspelt bracketed name is an error, never quietly read as a text value.
    EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("select [Nope] from Accounts"), db(), 3, 1); }),
              QStringLiteral("no such column: Nope"));
    EXPECT_FALSE(rs.isOpen());
    EXPECT_EQ(errorOf([&] { db().Execute(QString()); }).left(22), QStringLiteral("Invalid SQL statement;"));
}

TEST_F(LedgerConnection, ASecondStatementSplicedIntoOneIsRefusedUnrun)
{
    env.addAccount(QStringLiteral("Keep"));
    const QString refused = QStringLiteral("Characters found after end of SQL statement.");
    // An amount box's text cannot close the statement and start another.
    EXPECT_EQ(errorOf([&] {
        db().Execute(QStringLiteral("update Transactions set WithdrawalAmount=0;delete from Accounts;select (1 "
                                    "where TransactionNumber=1"));
    }), refused);
    Recordset rs;
    EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("select * from Accounts; delete from Accounts"), db(), 3, 1); }),
              refused);
    EXPECT_EQ(env.rows(QStringLiteral("select group_concat(AccountName) from Accounts")), "Keep");
    // A lone trailing semicolon is still one statement.
    EXPECT_EQ(db().Execute(QStringLiteral("delete from tblReport;  ")), 0);
}

// Large results are read ahead on a worker thread: the rows must come back complete, in
// order, and the connection must stay usable for other statements meanwhile.
class ReadAhead : public LedgerConnection {
protected:
    static constexpr int kRows = 6000;   // well past the rows read before reading ahead starts

    void SetUp() override
    {
        LedgerConnection::SetUp();
        addRows(env, kRows);
    }

    // Reads n rows (all when n < 0), checking each against what was inserted.
    int readRows(Recordset& rs, int n = -1)
    {
        int read = 0;
        while ((n < 0 || read < n) && !rs.eof()) {
            const qlonglong number = rs.Fields(u"TransactionNumber").Value().toLongLong();
            EXPECT_EQ(rs.Fields(u"TransactionDescription").Value().toString(),
                      QStringLiteral("row %1").arg(number));
            EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value().isValid(), number % 7 != 0);
            EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(number % 2 == 1));
            EXPECT_EQ(rs.Fields(u"TransactionDate").Value(), QVariant(QDate(2024, 1, 1)));
            if (number != ++m_expected)
                ADD_FAILURE() << "row " << number << " came where " << m_expected << " was due";
            m_expected = number;
            rs.MoveNext();
            ++read;
        }
        return read;
    }

    qlonglong m_expected = 0;
};

TEST_F(ReadAhead, EveryRowComesBackInOrderWithItsValues)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID"), db(), 3, 1);
    EXPECT_EQ(readRows(rs), kRows);
    EXPECT_TRUE(rs.eof());
    rs.Close();
}

TEST_F(ReadAhead, OtherStatementsMeanwhileCommitAtOnceAndLeaveTheRowsAsOpened)
{
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions"), db(), 3, 1);
    ASSERT_EQ(readRows(rs, 3000), 3000);
    // A query and a change on the same connection while rows are being read ahead.
    Recordset count;
    count.Open(QStringLiteral("select Count(*) AS [n] from Transactions"), db(), 3, 1);
    EXPECT_EQ(count.Fields(u"n").Value().toInt(), kRows);
    count.Close();
    EXPECT_EQ(db().Execute(QStringLiteral("delete from Transactions where TransactionNumber > 5000")), 1000);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "5000");
    EXPECT_EQ(readRows(rs), kRows - 3000);   // the deleted rows still show: a static view
    rs.Close();
}

TEST_F(ReadAhead, ClosingHalfwayAndClosingTheConnectionEndTheWorker)
{
    for (const int stopAt : {2500, 4000}) {
        Recordset rs;
        rs.Open(QStringLiteral("select * from Transactions"), db(), 3, 1);
        m_expected = 0;
        ASSERT_EQ(readRows(rs, stopAt), stopAt);
        if (stopAt == 2500)
            rs.Close();
        else
            db().Close();   // releases the recordset with it
        EXPECT_FALSE(rs.isOpen());
    }
}

TEST_F(LedgerConnection, ATransactionCommitsItsStatementsTogetherOrNoneOfThem)
{
    const auto accounts = [&] {
        Recordset rs;
        rs.Open(QStringLiteral("select Count(*) AS [n] from Accounts"), db(), 3, 1);
        return rs.Fields(u"n").Value().toInt();
    };
    db().BeginTrans();
    db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Kept')"));
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), "0");   // not yet visible outside
    EXPECT_EQ(accounts(), 0);   // nor to a recordset: it reads what was committed
    db().CommitTrans();
    EXPECT_EQ(accounts(), 1);
    db().BeginTrans();
    db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Dropped')"));
    db().RollbackTrans();
    db().RollbackTrans();   // nothing pending: nothing to do
    EXPECT_EQ(env.rows(QStringLiteral("select AccountName from Accounts")), "Kept");
}

TEST_F(LedgerConnection, AWriteDuringALargeReadNeitherWaitsNorCopiesAndShowsInTheNextRead)
{
    constexpr int kRows = 100000;
    addRows(env, kRows);
    const QString list = QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID");
    Recordset rs;
    rs.Open(list, db(), 3, 1);
    int read = 0;
    for (; read < 3000; ++read)
        rs.MoveNext();
    // Reading ahead stops once its slots are full, some thousands of rows on, far from
    // the 97,000 rows still unread.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rs.readAhead().waiting; }, 60000));
    // A batch the read handed back as the wait ended may still let one more in: the count
    // is taken once it has stood still a while (on a loaded machine, a sanitizer's, too).
    qint64 ahead = rs.readAhead().rows;
    for (int still = 0, tries = 0; still < 3 && tries < 100; ++tries) {
        QTest::qWait(100);
        const qint64 now = rs.readAhead().rows;
        still = now == ahead ? still + 1 : 0;
        ahead = now;
    }
    EXPECT_GT(ahead, 0);
    EXPECT_LT(ahead, 20000);
    // Both writes go through while the read is still open halfway: one that had to wait
    // for the read would wait for good here, and fail with "database is locked".
    EXPECT_EQ(db().Execute(QStringLiteral("delete from Transactions where TransactionNumber > 99990")), 10);
    db().Execute(QStringLiteral("insert into Transactions (AccountID, TransactionDescription) values (1, 'new')"));
    EXPECT_FALSE(rs.eof());
    // Nor did they copy the 97,000 unread rows, as a shared connection would have to.
    EXPECT_EQ(rs.readAhead().rows, ahead);
    bool sawNew = false;
    for (; !rs.eof(); rs.MoveNext(), ++read)
        sawNew = sawNew || rs.Fields(u"TransactionDescription").Value() == QVariant(QStringLiteral("new"));
    EXPECT_EQ(read, kRows);   // the rows as they were when the read began
    EXPECT_FALSE(sawNew);
    rs.Close();
    Recordset next;
    next.Open(QStringLiteral("select Count(*) AS [n] from Transactions"), db(), 3, 1);
    EXPECT_EQ(next.Fields(u"n").Value().toInt(), 99991);
}

TEST_F(LedgerConnection, TextIsOrderedAsJetOrdersItWhileTheFileStaysPlainSqlite)
{
    for (const char* name : {"Zed", "cash", "Édith", "apple", "Cash", "bank"})
        db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(QString::fromUtf8(name)));
    const auto names = [&](const QString& sql) {
        QStringList out;
        Recordset rs;
        for (rs.Open(sql, db(), 3, 1); !rs.eof(); rs.MoveNext())
            out << rs.Fields(u"AccountName").Value().toString();
        return out.join(QStringLiteral(", "));
    };
    EXPECT_EQ(names(QStringLiteral("select * from Accounts order by AccountName")),
              QString::fromUtf8("apple, bank, Cash, cash, Édith, Zed"));
    EXPECT_EQ(names(QStringLiteral("select * from Accounts order by AccountName desc, AccountID")),
              QString::fromUtf8("Zed, Édith, cash, Cash, bank, apple"));
    EXPECT_EQ(names(QStringLiteral("select * from Accounts where AccountID in (select AccountID from Accounts "
                                   "order by AccountName limit 2) order by AccountID")),
              QStringLiteral("apple, bank"));
    // Any SQLite tool still reads and sorts the file: the order lives in the program.
    EXPECT_EQ(env.rows(QStringLiteral("select group_concat(AccountName, ', ') from "
                                      "(select AccountName from Accounts order by AccountName)")),
              "Cash, Zed, apple, bank, cash, Édith");
}

TEST(Journal, WithoutSharedMemoryTheFileKeepsARollbackJournalAndReadersCopy)
{
    TestEnvironment env;
    env.placeLedger();
    addRows(env, 5000);
    NoSharedMemory noSharedMemory;
    Connection db;
    db.Open(env.connectionString());
    EXPECT_FALSE(db.writeAheadLog());
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions"), db, 3, 1);
    rs.MoveNext();
    // The read holds no lock: the write goes through while it is open, fully synced
    // (one that waited for the read would wait for good, and fail as locked).
    EXPECT_EQ(db.Execute(QStringLiteral("delete from Transactions where TransactionNumber > 100")), 4900);
    EXPECT_FALSE(rs.eof());
    int read = 1;   // the row passed before the write
    for (; !rs.eof(); rs.MoveNext())
        ++read;
    EXPECT_EQ(read, 5000);
    db.Close();
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "100");
    EXPECT_EQ(env.rows(QStringLiteral("pragma journal_mode")), "delete");
}

TEST(Journal, ACleanCloseLeavesEverythingInTheLedgerFileAlone)
{
    TestEnvironment env;
    env.placeLedger();
    Connection ledger;
    ledger.Open(env.connectionString());
    EXPECT_TRUE(ledger.writeAheadLog());
    ledger.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Kept')"));
    EXPECT_TRUE(QFile::exists(env.workingDatabase() + QStringLiteral("-wal")));
    ledger.Close();
    EXPECT_FALSE(QFile::exists(env.workingDatabase() + QStringLiteral("-wal")));
    EXPECT_FALSE(QFile::exists(env.workingDatabase() + QStringLiteral("-shm")));
    // The file alone, copied elsewhere, holds the row.
    const QString copy = env.root() + QStringLiteral("/copy.mdb");
    ASSERT_TRUE(QFile::copy(env.workingDatabase(), copy));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(copy.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select AccountName from Accounts", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "Kept");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    // The template beside the program stays a plain file.
    EXPECT_EQ(env.rows(QStringLiteral("pragma journal_mode")), "wal");
}
