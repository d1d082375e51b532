// Statement forms no window test sends yet, run on a real ledger file with the results
// their callers rely on: the account look-ups of the example data, and the report's
// copy of the list into its scratch table.
#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "data/sqlite/Database.h"
#include "tests/support/LedgerEnvironment.h"

#include <QDate>
#include <gtest/gtest.h>

using data::Recordset;

namespace {

class StatementForms : public ::testing::Test {
protected:
    void SetUp() override { env.openLedger(); }

    // The first field of a one-row query, as text ("<null>" for Null).
    QString one(const QString& sql)
    {
        Recordset rs;
        rs.Open(sql, data::connection(), 3, 1);
        const QVariant v = rs.Fields(u"MaxID").Value();
        return v.isValid() ? v.toString() : QStringLiteral("<null>");
    }

    testing_support::LedgerEnvironment env;
};

} // namespace

TEST_F(StatementForms, FirstAndLastFollowStoredOrderNotNames)
{
    const QString first = QStringLiteral("SELECT First(Accounts.AccountID) AS [MaxID] FROM Accounts");
    const QString last = QStringLiteral("SELECT Last(Accounts.AccountID) AS [MaxID] FROM Accounts");
    EXPECT_EQ(one(first), QStringLiteral("<null>"));
    for (const char* name : {"Zed", "Income", "Able"})
        data::connection().Execute(QStringLiteral("insert into [Accounts] (AccountName) values ('%1')").arg(name));
    data::connection().Execute(QStringLiteral("delete from Accounts where AccountID=1"));
    EXPECT_EQ(one(QStringLiteral("SELECT Count(Accounts.AccountID) AS [MaxID] From Accounts")), QStringLiteral("2"));
    EXPECT_EQ(one(first), QStringLiteral("2"));
    EXPECT_EQ(one(last), QStringLiteral("3"));
}

TEST_F(StatementForms, ReportCopiesTheListIntoItsScratchTableWhileReadingIt)
{
    env.sqlite(QStringLiteral(
        "insert into Accounts (AccountName) values ('Bank'), ('Cash');"
        "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,Taxable)"
        " values ('2021-03-05','O''Brien''s trip',1,NULL,250.5,1), ('2021-04-01','Fuel',2,40,NULL,NULL);"
        "insert into tblReport (Account) values ('old');"));
    auto& db = data::connection();
    db.Execute(QStringLiteral("delete from tblReport"));
    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID"), db, 3, 1);
    while (!rs.eof()) {
        db.Execute(QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values (CDate('")
                   + data::sql::jetDate(rs.Fields(u"TransactionDate").Value().toDate()) + QStringLiteral("'),")
                   + data::sql::amount(rs.Fields(u"DepositAmount").Value()) + QStringLiteral(",")
                   + data::sql::amount(rs.Fields(u"WithdrawalAmount").Value()) + QStringLiteral(",'")
                   + data::sql::quoted(rs.Fields(u"AccountName").Value().toString()) + QStringLiteral("','")
                   + data::sql::quoted(rs.Fields(u"TransactionDescription").Value().toString()) + QStringLiteral("')"));
        rs.MoveNext();
    }
    rs.Close();
    EXPECT_EQ(env.rows(QStringLiteral("select * from tblReport")),
              "2021-03-05|250.5|0.0|Bank|O'Brien's trip; 2021-04-01|0.0|40.0|Cash|Fuel");
    rs.Open(QStringLiteral("select * from tblReport"), db, 3, 1);
    EXPECT_EQ(rs.Fields(u"Date").Value(), QVariant(QDate(2021, 3, 5)));
    EXPECT_EQ(rs.Fields(u"ValueIN").Value().toDouble(), 250.5);
}
