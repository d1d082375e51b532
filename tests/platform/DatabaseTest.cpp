// The connection and recordset the windows use, on a real ledger file.
#include "data/Ledger.h"
#include "platform/Database.h"
#include "tests/support/TestEnvironment.h"

#include <QDate>
#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

using platform::Connection;
using platform::DbError;
using platform::Recordset;
using testing_support::TestEnvironment;

namespace {

QString jetConnectionString(const QString& file)
{
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + file
        + QStringLiteral(";JET OLEDB:Database Password=");
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

// The value a second, independent SQLite handle reads: what is really in the file.
QString rawText(const QString& file, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    QString out;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

class LedgerConnection : public ::testing::Test {
protected:
    void SetUp() override { env.openLedger(); }
    Connection& db() { return data::connection(); }

    TestEnvironment env;
};

} // namespace

TEST(ConnectionLifecycle, OpensWithTheJetStringAndClosesOnce)
{
    TestEnvironment env;
    env.openLedger();
    Connection second;
    EXPECT_EQ(second.State(), Connection::adStateClosed);
    second.Open(data::connectionString());
    EXPECT_EQ(second.State(), Connection::adStateOpen);
    EXPECT_EQ(errorOf([&] { second.Open(data::connectionString()); }),
              QStringLiteral("Operation is not allowed when the object is open."));
    second.Close();
    EXPECT_EQ(second.State(), Connection::adStateClosed);
    second.Close();
    EXPECT_EQ(errorOf([&] { second.Execute(QStringLiteral("delete from tblReport")); }),
              QStringLiteral("Operation is not allowed when the object is closed."));
    Recordset rs;
    EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("select * from Accounts"), second, 3, 1); }),
              QStringLiteral("Operation is not allowed when the object is closed."));
}

TEST(ConnectionLifecycle, RefusesAMissingFileOrForeignProviderWithoutCreatingAnything)
{
    TestEnvironment env;
    const QString missing = env.dataHome() + QStringLiteral("/nowhere.mdb");
    Connection db;
    EXPECT_TRUE(errorOf([&] { db.Open(jetConnectionString(missing)); }).startsWith(QStringLiteral("Could not find file")));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(errorOf([&] { db.Open(QStringLiteral("provider=sqloledb;data source=") + missing); }),
              QStringLiteral("Provider cannot be found. It may not be properly installed."));
    EXPECT_EQ(db.State(), Connection::adStateClosed);
}

TEST_F(LedgerConnection, RecordsetReadsFrontToBackAndRefusesOutsideItsRows)
{
    db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Bank')"));
    db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Alpha')"));
    Recordset rs;
    rs.Open(QStringLiteral("select * from Accounts order by AccountName"), db(), 3, 1);
    QStringList names;
    while (!rs.eof()) {
        names << rs.Fields(u"accountname").Value().toString();
        rs.MoveNext();
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("Alpha"), QStringLiteral("Bank")}));
    EXPECT_FALSE(errorOf([&] { rs.Fields(u"AccountName").Value(); }).isEmpty());
    EXPECT_FALSE(errorOf([&] { rs.MoveNext(); }).isEmpty());
    EXPECT_FALSE(errorOf([&] { rs.Fields(u"NoSuchField"); }).isEmpty());
    rs.Close();
    EXPECT_FALSE(errorOf([&] { rs.eof(); }).isEmpty());
    EXPECT_FALSE(errorOf([&] { rs.Close(); }).isEmpty());
    // The report reopens the same recordset object on another query.
    rs.Open(QStringLiteral("select * from tblReport"), db(), 3, 1);
    EXPECT_TRUE(rs.eof());
    rs.Close();
}

TEST_F(LedgerConnection, StoredValuesReadBackInTheirKinds)
{
    env.sqlite(QStringLiteral(
        "insert into Accounts (AccountID, AccountName) values (4, '');"
        "insert into Transactions (TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, "
        "DepositAmount, Taxable) values ('2021-03-05', '', 4, 0, NULL, NULL);"
        "insert into Transactions (TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, "
        "DepositAmount, Taxable) values ('2021-03-06 14:30:00', NULL, 4, 12.5, 7, 1);"));
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID "
                           "order by TransactionNumber"),
            db(), 3, 1);
    ASSERT_FALSE(rs.eof());
    // Null, zero and the empty text stay three different things.
    EXPECT_FALSE(rs.Fields(u"DepositAmount").Value().isValid());
    EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value().typeId(), QMetaType::Double);
    EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value().toDouble(), 0.0);
    EXPECT_EQ(rs.Fields(u"TransactionDescription").Value(), QVariant(QString()));
    EXPECT_TRUE(rs.Fields(u"TransactionDescription").Value().isValid());
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(false));
    EXPECT_EQ(rs.Fields(u"TransactionDate").Value(), QVariant(QDate(2021, 3, 5)));
    EXPECT_EQ(rs.Fields(u"AccountID").Value().toLongLong(), 4);
    EXPECT_EQ(rs.Fields(u"AccountName").Value().toString(), QString());
    rs.MoveNext();
    ASSERT_FALSE(rs.eof());
    EXPECT_FALSE(rs.Fields(u"TransactionDescription").Value().isValid());
    EXPECT_EQ(rs.Fields(u"DepositAmount").Value().typeId(), QMetaType::Double);
    EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value().toDouble(), 12.5);
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(true));
    const QVariant when = rs.Fields(u"TransactionDate").Value();
    EXPECT_EQ(when.typeId(), QMetaType::QDateTime);
    EXPECT_EQ(when.toDateTime().date(), QDate(2021, 3, 6));
    EXPECT_EQ(when.toDateTime().time(), QTime(14, 30));
    rs.MoveNext();
    EXPECT_TRUE(rs.eof());
    rs.Close();
}

TEST_F(LedgerConnection, WritesKeepTheStoredFormat)
{
    EXPECT_EQ(db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('A')")), 1);
    db().Execute(QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                "WithdrawalAmount,DepositAmount,Taxable) values (#03/05/2021#,'d',1,5,0,1)"));
    const QString file = env.workingDatabase();
    EXPECT_EQ(rawText(file, "select TransactionDate || '|' || typeof(WithdrawalAmount) || '|' || Taxable "
                            "from Transactions"),
              QStringLiteral("2021-03-05|real|1"));
    // Auto-numbers are never reused, even for the highest number after a delete.
    EXPECT_EQ(db().Execute(QStringLiteral("delete from [Transactions] where TransactionNumber=1")), 1);
    db().Execute(QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                "WithdrawalAmount,DepositAmount,Taxable) values (#03/05/2021#,'d',1,5,0,0)"));
    EXPECT_EQ(rawText(file, "select TransactionNumber from Transactions"), QStringLiteral("2"));
    // A value that is no date or number is refused by the file itself.
    EXPECT_FALSE(errorOf([&] {
        db().Execute(QStringLiteral("update Transactions set WithdrawalAmount='12abc'"));
    }).isEmpty());
    EXPECT_FALSE(errorOf([&] { db().Execute(QStringLiteral("update Transactions set TransactionDate='soon'")); })
                     .isEmpty());
    EXPECT_EQ(rawText(file, "select WithdrawalAmount || '|' || TransactionDate from Transactions"),
              QStringLiteral("5.0|2021-03-05"));
}

TEST_F(LedgerConnection, ExecuteCountsTheRowsItChanged)
{
    for (int i = 0; i < 3; ++i)
        db().Execute(QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) "
                                    "values (CDate('01/02/2021'),1,2,'a','b')"));
    EXPECT_EQ(db().Execute(QStringLiteral("delete from tblReport")), 3);
    EXPECT_EQ(db().Execute(QStringLiteral("delete from tblReport")), 0);
    EXPECT_EQ(db().Execute(QStringLiteral("update Transactions set Taxable=1 where TransactionNumber=99")), 0);
}

TEST_F(LedgerConnection, FailuresCarryTheDatabasesOwnMessage)
{
    EXPECT_EQ(errorOf([&] { db().Execute(QStringLiteral("delete from Nope")); }), QStringLiteral("no such table: Nope"));
    EXPECT_EQ(errorOf([&] { db().Execute(QStringLiteral("delete frm Accounts")); }),
              QStringLiteral("near \"frm\": syntax error"));
    Recordset rs;
    EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("select Nope from Accounts"), db(), 3, 1); }),
              QStringLiteral("no such column: Nope"));
    EXPECT_FALSE(rs.isOpen());
    // A misspelt bracketed name is an error, never quietly read as a text value.
    EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("select [Nope] from Accounts"), db(), 3, 1); }),
              QStringLiteral("no such column: Nope"));
    db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('x')"));
    EXPECT_EQ(errorOf([&] { db().Execute(QStringLiteral("update Accounts set [AccountNme]='y'")); }),
              QStringLiteral("no such column: AccountNme"));
    EXPECT_EQ(errorOf([&] { db().Execute(QString()); }).left(22), QStringLiteral("Invalid SQL statement;"));
}

TEST_F(LedgerConnection, ASecondStatementSplicedIntoOneIsRefusedUnrun)
{
    db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('Keep')"));
    const QString refused = QStringLiteral("Characters found after end of SQL statement.");
    EXPECT_EQ(errorOf([&] { db().Execute(QStringLiteral("delete from tblReport; delete from Accounts")); }), refused);
    EXPECT_EQ(errorOf([&] {
        db().Execute(QStringLiteral("insert into Accounts (AccountName) values ('x');delete from Accounts"));
    }), refused);
    // An amount box's text cannot close the statement and start another.
    EXPECT_EQ(errorOf([&] {
        db().Execute(QStringLiteral("update Transactions set WithdrawalAmount=0;delete from Accounts;select (1 "
                                    "where TransactionNumber=1"));
    }), refused);
    Recordset rs;
    EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("select * from Accounts; delete from Accounts"), db(), 3, 1); }),
              refused);
    EXPECT_EQ(rawText(env.workingDatabase(), "select group_concat(AccountName) from Accounts"), QStringLiteral("Keep"));
    // A lone trailing semicolon is still one statement.
    EXPECT_EQ(db().Execute(QStringLiteral("delete from tblReport;  ")), 0);
}

TEST_F(LedgerConnection, JoinsResolveSharedNamesAndDropOrphans)
{
    env.sqlite(QStringLiteral(
        "insert into Accounts (AccountID, AccountName) values (3, 'Bank');"
        "insert into Transactions (TransactionDate, TransactionDescription, AccountID) values ('2021-01-01', 'kept', 3);"
        "insert into Transactions (TransactionDate, TransactionDescription, AccountID) values ('2021-01-02', 'orphan', 9);"));
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID"), db(), 3, 1);
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.Fields(u"AccountID").Value().toLongLong(), 3);
    EXPECT_EQ(rs.Fields(u"TRANSACTIONDESCRIPTION").Value().toString(), QStringLiteral("kept"));
    rs.MoveNext();
    EXPECT_TRUE(rs.eof());
    rs.Close();
    EXPECT_EQ(rawText(env.workingDatabase(), "select count(*) from Transactions"), QStringLiteral("2"));
}
