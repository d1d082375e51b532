// Every statement form the windows send, in the exact text they build, run on a real
// ledger file with the results the windows rely on.
#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "platform/Conversions.h"
#include "platform/Database.h"
#include "tests/support/TestEnvironment.h"

#include <QDate>
#include <gtest/gtest.h>

using platform::Recordset;

namespace {

const QString kListQuery = QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID");
const QString kInsertHead = QStringLiteral(
    "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,Taxable) values (");

class StatementForms : public ::testing::Test {
protected:
    void SetUp() override { env.openLedger(); }

    platform::Connection& db() { return data::connection(); }
    void run(const QString& sql) { db().Execute(sql); }

    // One column of every row a query gives, as text ("<null>" for Null).
    QStringList column(const QString& sql, const char16_t* field)
    {
        QStringList out;
        Recordset rs;
        rs.Open(sql, db(), 3, 1);
        while (!rs.eof()) {
            const QVariant v = rs.Fields(field).Value();
            out << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
            rs.MoveNext();
        }
        rs.Close();
        return out;
    }

    // Accounts 1 "Bank" and 2 "Cash", and three transactions of which the last has
    // no account any more.
    void seed()
    {
        env.sqlite(QStringLiteral(
            "insert into Accounts (AccountName) values ('Bank'), ('Cash');"
            "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,Taxable)"
            " values ('2021-03-05','O''Brien''s trip',1,NULL,250.5,1),"
            "        ('2021-04-01','Fuel',2,40,NULL,NULL),"
            "        ('2021-05-01','Lost',9,1,1,0);"));
    }

    testing_support::TestEnvironment env;
};

} // namespace

TEST_F(StatementForms, TheListQueryGivesEveryTransactionWithAnAccount)
{
    seed();
    EXPECT_EQ(column(kListQuery, u"TransactionDescription"),
              (QStringList{QStringLiteral("O'Brien's trip"), QStringLiteral("Fuel")}));
    EXPECT_EQ(column(kListQuery, u"AccountName"), (QStringList{QStringLiteral("Bank"), QStringLiteral("Cash")}));
    EXPECT_EQ(column(kListQuery, u"WithdrawalAmount"), (QStringList{QStringLiteral("<null>"), QStringLiteral("40")}));
    EXPECT_EQ(column(kListQuery, u"Taxable"), (QStringList{QStringLiteral("true"), QStringLiteral("false")}));
    EXPECT_EQ(column(kListQuery, u"TransactionDate"), (QStringList{QStringLiteral("2021-03-05"), QStringLiteral("2021-04-01")}));
}

TEST_F(StatementForms, TransactionCommandsDeleteAndDuplicate)
{
    seed();
    // Duplicate: read the source, then insert its copy built by the literal rules.
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions where TransactionNumber=") + QStringLiteral("1"), db(), 3, 1);
    ASSERT_FALSE(rs.eof());
    const QString copy = kInsertHead + QStringLiteral("#")
        + data::sql::jetDate(rs.Fields(u"TransactionDate").Value().toDate()) + QStringLiteral("#,'")
        + data::sql::quoted(rs.Fields(u"TransactionDescription").Value().toString()) + QStringLiteral("',")
        + rs.Fields(u"AccountID").Value().toString() + QStringLiteral(",")
        + data::sql::amount(rs.Fields(u"WithdrawalAmount").Value()) + QStringLiteral(",")
        + data::sql::amount(rs.Fields(u"DepositAmount").Value()) + QStringLiteral(",")
        + (rs.Fields(u"Taxable").Value().toBool() ? QStringLiteral("1") : QStringLiteral("0")) + QStringLiteral(")");
    EXPECT_EQ(copy, kInsertHead + QStringLiteral("#03/05/2021#,'O''Brien''s trip',1,0,250.5,1)"));
    run(copy);
    rs.Close();
    const QString copied = QStringLiteral("select * from Transactions where TransactionNumber=4");
    EXPECT_EQ(column(copied, u"TransactionDescription"), QStringList{QStringLiteral("O'Brien's trip")});
    EXPECT_EQ(column(copied, u"WithdrawalAmount"), QStringList{QStringLiteral("0")});
    EXPECT_EQ(column(copied, u"TransactionDate"), QStringList{QStringLiteral("2021-03-05")});

    // A source that is gone gives no record.
    EXPECT_TRUE(column(QStringLiteral("select * from Transactions where TransactionNumber=77"), u"AccountID").isEmpty());

    run(QStringLiteral("delete from [Transactions] where TransactionNumber=") + QStringLiteral("2"));
    EXPECT_EQ(column(kListQuery, u"TransactionNumber"), (QStringList{QStringLiteral("1"), QStringLiteral("4")}));
}

TEST_F(StatementForms, SampleDataFindsAccountsAndStoresToday)
{
    const QString count = QStringLiteral("SELECT Count(Accounts.AccountID) AS [CountID] From Accounts");
    const QString first = QStringLiteral("SELECT First(Accounts.AccountID) AS [MaxID] FROM Accounts");
    const QString last = QStringLiteral("SELECT Last(Accounts.AccountID) AS [MaxID] FROM Accounts");
    EXPECT_EQ(column(count, u"CountID"), QStringList{QStringLiteral("0")});
    EXPECT_EQ(column(first, u"MaxID"), QStringList{QStringLiteral("<null>")});

    run(QStringLiteral("insert into [Accounts] (AccountName) values ('") + QStringLiteral("Loans") + QStringLiteral("')"));
    run(QStringLiteral("insert into [Accounts] (AccountName) values ('") + QStringLiteral("Income") + QStringLiteral("')"));
    run(QStringLiteral("insert into [Accounts] (AccountName) values ('") + QStringLiteral("Extra") + QStringLiteral("')"));
    run(QStringLiteral("delete from Accounts where AccountID=1"));
    EXPECT_EQ(column(count, u"CountID"), QStringList{QStringLiteral("2")});
    // Stored order, not name order: the oldest remaining and the newest account.
    EXPECT_EQ(column(first, u"MaxID"), QStringList{QStringLiteral("2")});
    EXPECT_EQ(column(last, u"MaxID"), QStringList{QStringLiteral("3")});

    const QString today = platform::dateText(QDate::currentDate());
    const QString sample = kInsertHead + QStringLiteral("cdate(\"") + today + QStringLiteral("\"),'")
        + QStringLiteral("Business trip") + QStringLiteral("',") + QStringLiteral("3") + QStringLiteral(",135,120,0)");
    EXPECT_TRUE(sample.endsWith(QStringLiteral("'Business trip',3,135,120,0)")));
    run(sample);
    Recordset rs;
    rs.Open(kListQuery, db(), 3, 1);
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.Fields(u"TransactionDate").Value(), QVariant(QDate::currentDate()));
    EXPECT_EQ(rs.Fields(u"AccountName").Value().toString(), QStringLiteral("Extra"));
    EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value().toDouble(), 135.0);
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(false));
    rs.Close();
}

TEST_F(StatementForms, EditorLoadsSavesAndUpdates)
{
    seed();
    run(QStringLiteral("insert into Accounts (AccountName) values ('Bills')"));
    EXPECT_EQ(column(QStringLiteral("select * from Accounts order by AccountName"), u"AccountID"),
              (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("2")}));

    const QString load = QStringLiteral(
        "select * from Transactions a inner join Accounts b on b.AccountID=a.AccountID where TransactionNumber=");
    EXPECT_EQ(column(load + QStringLiteral("2"), u"AccountName"), QStringList{QStringLiteral("Cash")});
    EXPECT_TRUE(column(load + QStringLiteral("3"), u"AccountName").isEmpty());

    // Amount boxes go in as typed, trailing zeros included.
    run(kInsertHead + QStringLiteral("#") + data::sql::jetDate(QDate(2022, 1, 9)) + QStringLiteral("#,'")
        + data::sql::quoted(QStringLiteral("Rent")) + QStringLiteral("',") + QStringLiteral("2") + QStringLiteral(",")
        + QStringLiteral("12.50") + QStringLiteral(",") + QStringLiteral("0") + QStringLiteral(",") + QStringLiteral("1")
        + QStringLiteral(")"));
    EXPECT_EQ(column(load + QStringLiteral("4"), u"WithdrawalAmount"), QStringList{QStringLiteral("12.5")});
    EXPECT_EQ(column(load + QStringLiteral("4"), u"TransactionDate"), QStringList{QStringLiteral("2022-01-09")});

    const auto update = [](const QString& withdrawal, const QString& id) {
        return QStringLiteral("update Transactions set TransactionDate=#") + QStringLiteral("02/28/2022")
            + QStringLiteral("#,TransactionDescription='") + QStringLiteral("It''s rent") + QStringLiteral("',AccountID=")
            + QStringLiteral("1") + QStringLiteral(",WithdrawalAmount=") + withdrawal + QStringLiteral(",DepositAmount=")
            + QStringLiteral("0") + QStringLiteral(",Taxable=") + QStringLiteral("0")
            + QStringLiteral(" where TransactionNumber=") + id;
    };
    EXPECT_EQ(db().Execute(update(QStringLiteral("99.9"), QStringLiteral("4"))), 1);
    EXPECT_EQ(column(load + QStringLiteral("4"), u"TransactionDescription"), QStringList{QStringLiteral("It's rent")});
    EXPECT_EQ(column(load + QStringLiteral("4"), u"AccountName"), QStringList{QStringLiteral("Bank")});
    EXPECT_EQ(column(load + QStringLiteral("4"), u"TransactionDate"), QStringList{QStringLiteral("2022-02-28")});
    // An edit of a row that is gone changes nothing and is no error.
    EXPECT_EQ(db().Execute(update(QStringLiteral("1"), QStringLiteral("50"))), 0);
    // Grouped or comma-decimal amounts make the statement fail; nothing changes.
    EXPECT_THROW(run(update(QStringLiteral("1,234.5"), QStringLiteral("4"))), platform::DbError);
    EXPECT_THROW(run(kInsertHead + QStringLiteral("#01/09/2022#,'x',2,12,5,0,0)")), platform::DbError);
    EXPECT_EQ(column(load + QStringLiteral("4"), u"WithdrawalAmount"), QStringList{QStringLiteral("99.9")});
    EXPECT_EQ(column(QStringLiteral("select count(*) as n from Transactions"), u"n"), QStringList{QStringLiteral("4")});
}

TEST_F(StatementForms, AccountMaintenanceAddsAndDeletesWithTransactions)
{
    seed();
    run(QStringLiteral("insert into Accounts (AccountName) values ('") + data::sql::quoted(QStringLiteral("O'Brien"))
        + QStringLiteral("')"));
    EXPECT_EQ(column(QStringLiteral("select * from Accounts order by AccountName"), u"AccountName"),
              (QStringList{QStringLiteral("Bank"), QStringLiteral("Cash"), QStringLiteral("O'Brien")}));
    run(QStringLiteral("delete from Accounts where AccountID=") + QStringLiteral("1"));
    run(QStringLiteral("delete from Transactions where AccountID=") + QStringLiteral("1"));
    EXPECT_EQ(column(QStringLiteral("select * from Transactions"), u"TransactionDescription"),
              (QStringList{QStringLiteral("Fuel"), QStringLiteral("Lost")}));
}

TEST_F(StatementForms, ReportCopiesTheListIntoItsScratchTable)
{
    seed();
    run(QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values "
                       "(CDate('01/01/2020'),1,1,'old','old')"));
    run(QStringLiteral("delete from tblReport"));
    Recordset rs;
    rs.Open(kListQuery, db(), 3, 1);
    while (!rs.eof()) {
        // Written while the list query is still open on the same connection.
        run(QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values (CDate('")
            + data::sql::jetDate(rs.Fields(u"TransactionDate").Value().toDate()) + QStringLiteral("'),")
            + data::sql::amount(rs.Fields(u"DepositAmount").Value()) + QStringLiteral(",")
            + data::sql::amount(rs.Fields(u"WithdrawalAmount").Value()) + QStringLiteral(",'")
            + data::sql::quoted(rs.Fields(u"AccountName").Value().toString()) + QStringLiteral("','")
            + data::sql::quoted(rs.Fields(u"TransactionDescription").Value().toString()) + QStringLiteral("')"));
        rs.MoveNext();
    }
    rs.Close();
    rs.Open(QStringLiteral("select * from tblReport"), db(), 3, 1);
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.Fields(u"Date").Value(), QVariant(QDate(2021, 3, 5)));
    EXPECT_EQ(rs.Fields(u"ValueIN").Value().toDouble(), 250.5);
    EXPECT_EQ(rs.Fields(u"ValueOUT").Value().toDouble(), 0.0);
    EXPECT_EQ(rs.Fields(u"Description").Value().toString(), QStringLiteral("O'Brien's trip"));
    rs.MoveNext();
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.Fields(u"Account").Value().toString(), QStringLiteral("Cash"));
    EXPECT_EQ(rs.Fields(u"ValueIN").Value().toDouble(), 0.0);
    EXPECT_EQ(rs.Fields(u"ValueOUT").Value().toDouble(), 40.0);
    rs.MoveNext();
    EXPECT_TRUE(rs.eof());
    rs.Close();
}
