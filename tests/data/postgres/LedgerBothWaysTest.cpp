// What the windows rely on from the ledger, run on the file and on a server: values
// written by the windows' statements read back with their types, a refused row inside
// a transaction undoes only itself, a change made as a step is undone and redone whole,
// an open query keeps reading the ledger as it was
// when it opened, and rows an import numbers itself never collide with the next, nor
// does a counter a copy sets. A server ledger copied to a file keeps every value.
#include "data/Connection.h"
#include "data/LedgerCopy.h"
#include "tests/data/postgres/ServerFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using data::Connection;
using data::Recordset;

namespace {

enum class Kind { File, Server };

class LedgerBothWays : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == Kind::File) {
            const QString path = dir.path() + QStringLiteral("/dbData.mdb");
            ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), path));
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
            db.Open(QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + path);
        } else {
            const QString database = testing_support::freshPgDatabase();
            db.setOwner(log.owner());
            db.Open(data::serverConnectionString(testing_support::conninfoOf(database)));
        }
        db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('O''Brien''s')"));
    }

    // The one value of a query.
    QVariant value(const QString& sql, QStringView column)
    {
        Recordset rs;
        rs.Open(sql, db);
        return rs.eof() ? QVariant(QStringLiteral("(no row)")) : rs.Fields(column).Value();
    }

    qlonglong count() { return value(QStringLiteral("select count(*) as N from Transactions"), u"n").toLongLong(); }

    QTemporaryDir dir;
    testing_support::OwnerLog log;
    Connection db;
};

TEST_P(LedgerBothWays, ValuesTheWindowsWriteReadBackWithTheirTypes)
{
    const QString insert = QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                          "WithdrawalAmount,DepositAmount,Taxable) values ");
    db.Execute(insert + QStringLiteral("(#03/05/2024#,'say \"hi\" & ''bye''',1,12345678901234.56,null,True)"));
    db.Execute(insert + QStringLiteral("(#12/31/1999 23:59:58#,null,1,0.1,-2.5,False)"));
    db.Execute(insert + QStringLiteral("(null,'no flag',1,null,null,null)"));

    Recordset rs;
    rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID "
                           "order by TransactionNumber"),
            db);
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.Fields(u"TRANSACTIONNUMBER").Value(), QVariant(qlonglong(1)));
    EXPECT_EQ(rs.Fields(u"TransactionDate").Value(), QVariant(QDate(2024, 3, 5)));
    EXPECT_EQ(rs.Fields(u"TransactionDescription").Value(), QVariant(QStringLiteral("say \"hi\" & 'bye'")));
    EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value(), QVariant(12345678901234.56));
    EXPECT_FALSE(rs.Fields(u"DepositAmount").Value().isValid());
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(true));
    EXPECT_EQ(rs.Fields(u"AccountName").Value(), QVariant(QStringLiteral("O'Brien's")));
    rs.MoveNext();
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.Fields(u"TransactionDate").Value(), QVariant(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58), Qt::UTC)));
    EXPECT_FALSE(rs.Fields(u"TransactionDescription").Value().isValid());
    EXPECT_EQ(rs.Fields(u"WithdrawalAmount").Value(), QVariant(0.1));
    EXPECT_EQ(rs.Fields(u"DepositAmount").Value(), QVariant(-2.5));
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(false));
    rs.MoveNext();
    ASSERT_FALSE(rs.eof());   // a yes/no left empty is No; other empty values are Null
    EXPECT_FALSE(rs.Fields(u"TransactionDate").Value().isValid());
    EXPECT_FALSE(rs.Fields(u"WithdrawalAmount").Value().isValid());
    EXPECT_EQ(rs.Fields(u"Taxable").Value(), QVariant(false));
    rs.MoveNext();
    EXPECT_TRUE(rs.eof());
}

// The report's copy: thousands of rows in one transaction, read back in order; a row
// that cannot be stored ends that transaction, never leaving half of it.
TEST_P(LedgerBothWays, TheReportsRowsGoInWholeAndInOrderOrNotAtAll)
{
    const auto row = [](int i, const QString& in) {
        return QStringLiteral("insert into tblReport ([Date], ValueIn, ValueOut, Account, Description) values "
                              "(#03/05/2024#, %1, 0, 'Bank', 'row %2, (paid)')").arg(in).arg(i);
    };
    db.BeginTrans();
    db.Execute(QStringLiteral("delete from tblReport"));
    for (int i = 1; i <= 2500; ++i)
        EXPECT_EQ(db.Execute(row(i, QString::number(i))), 1);
    db.CommitTrans();
    Recordset rs;
    rs.Open(QStringLiteral("select * from tblReport"), db);
    int read = 0;
    for (; !rs.eof(); rs.MoveNext()) {
        ++read;
        ASSERT_EQ(rs.Fields(u"Description").Value().toString(), QStringLiteral("row %1, (paid)").arg(read));
        ASSERT_EQ(rs.Fields(u"ValueIn").Value().toDouble(), read);
    }
    EXPECT_EQ(read, 2500);
    rs.Close();

    // The file's report table takes any value; a server's refuses a text as a number.
    if (GetParam() == Kind::File)
        return;
    db.BeginTrans();
    db.Execute(QStringLiteral("delete from tblReport"));
    bool failed = false;
    for (int i = 1; i <= 10 && !failed; ++i) {
        try {
            db.Execute(row(i, i == 5 ? QStringLiteral("'not a number'") : QStringLiteral("1")));
            if (i == 10)
                db.CommitTrans();
        } catch (const platform::DbError&) {
            failed = true;
            EXPECT_FALSE(db.InTransaction());   // ended, so the report's copy stops here
        }
    }
    EXPECT_TRUE(failed);
    db.RollbackTrans();
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(value(QStringLiteral("select count(*) as N from tblReport"), u"n").toLongLong(), 2500);
}

TEST_P(LedgerBothWays, ARefusedRowInsideATransactionUndoesOnlyItself)
{
    db.BeginTrans();
    db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, 1)"));
    EXPECT_THROW(db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, 1e309)")),
                 platform::DbError);
    EXPECT_TRUE(db.InTransaction());
    db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, 3)"));
    db.CommitTrans();
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(value(QStringLiteral("select sum(DepositAmount) as S from Transactions"), u"S"), QVariant(4.0));

    // Rolled back, nothing of it stays.
    db.BeginTrans();
    db.Execute(QStringLiteral("delete from Transactions"));
    db.RollbackTrans();
    EXPECT_EQ(count(), 2);
}

TEST_P(LedgerBothWays, AnOpenQueryReadsTheLedgerAsItWasWhenItOpened)
{
    for (int i = 0; i < 3; ++i)
        db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, %1)").arg(i));
    Recordset rs;
    rs.Open(QStringLiteral("select DepositAmount from Transactions order by TransactionNumber"), db);
    db.Execute(QStringLiteral("delete from Transactions"));
    db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, 99)"));
    QList<double> read;
    for (; !rs.eof(); rs.MoveNext())
        read << rs.Fields(u"DepositAmount").Value().toDouble();
    EXPECT_EQ(read, (QList<double>{0, 1, 2}));
    EXPECT_EQ(count(), 1);
}

TEST_P(LedgerBothWays, RowsNumberedByTheCallerNeverCollideWithTheNext)
{
    db.BeginTrans();
    const qint64 first = db.nextKey(QStringLiteral("Transactions"));
    EXPECT_EQ(first, 1);
    db.Execute(QStringLiteral("insert into Transactions (TransactionNumber, AccountID) values (%1, 1), (%2, 1)")
                   .arg(first + 40)
                   .arg(first + 49));
    db.CommitTrans();
    db.Execute(QStringLiteral("insert into Transactions (AccountID) values (1)"));
    EXPECT_EQ(value(QStringLiteral("select max(TransactionNumber) as M from Transactions"), u"M"),
              QVariant(qlonglong(51)));
    // A deleted newest row's number is not given again.
    db.Execute(QStringLiteral("delete from Transactions where TransactionNumber = 51"));
    EXPECT_EQ(db.nextKey(QStringLiteral("Transactions")), 52);
    EXPECT_EQ(db.nextKey(QStringLiteral("Accounts")), 2);

    // A copied ledger's counter goes with it, never below the rows it holds.
    db.setNextKey(QStringLiteral("Accounts"), 10);
    db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
    EXPECT_EQ(value(QStringLiteral("select max(AccountID) as M from Accounts"), u"M"), QVariant(qlonglong(10)));
    db.setNextKey(QStringLiteral("Accounts"), 2);
    EXPECT_EQ(db.nextKey(QStringLiteral("Accounts")), 11);
}

TEST_P(LedgerBothWays, AChangeMadeAsAStepIsUndoneAndRedoneWhole)
{
    data::History* history = db.history();
    ASSERT_NE(history, nullptr);
    history->begin(QStringLiteral("Add two"));
    db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, 5)"));
    db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, 7)"));
    history->end();
    db.Execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) values (1, 100)"));   // no step

    ASSERT_TRUE(history->nextUndo());
    EXPECT_EQ(history->nextUndo()->label, QStringLiteral("Add two"));
    ASSERT_TRUE(history->undo());
    EXPECT_EQ(value(QStringLiteral("select sum(DepositAmount) as S from Transactions"), u"S"), QVariant(100.0));
    ASSERT_TRUE(history->redo());
    EXPECT_EQ(value(QStringLiteral("select sum(DepositAmount) as S from Transactions"), u"S"), QVariant(112.0));
}

// Every row of the three tables, each value with its type, and the counters.
QStringList ledgerState(Connection& db)
{
    QStringList state;
    for (const char* table : {"Accounts", "Transactions", "ImportKeys"}) {
        Recordset rs;
        rs.Open(QStringLiteral("select * from %1").arg(QLatin1String(table)), db);
        QStringList rows;
        for (; !rs.eof(); rs.MoveNext()) {
            QStringList values;
            for (const char* column : {"AccountID", "AccountName", "TransactionNumber", "TransactionDate",
                                       "TransactionDescription", "WithdrawalAmount", "DepositAmount", "Taxable",
                                       "ImportKeyID", "ImportKey", "KeyDate", "KeyCents"}) {
                try {
                    const QVariant value = rs.Fields(QString::fromLatin1(column)).Value();
                    values << QString::fromLatin1(value.typeName()) + u':' + value.toString();
                } catch (const platform::DbError&) {
                    // not a column of this table
                }
            }
            rows << values.join(u'|');
        }
        rows.sort();
        state << rows << QString::number(db.nextKey(QLatin1String(table)));
    }
    return state;
}

TEST(LedgerCopy, AServerLedgerCopiedToAFileKeepsEveryValueAndCounter)
{
    testing_support::TestEnvironment env;   // the program folder with the empty ledger a copy starts from
    const auto fileSide = [&](const QString& name) {
        return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + env.root() + u'/' + name;
    };
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), env.root() + QStringLiteral("/first.mdb")));
    QFile::setPermissions(env.root() + QStringLiteral("/first.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    QStringList before;
    {
        Connection first;
        first.Open(fileSide(QStringLiteral("first.mdb")));
        first.Execute(QStringLiteral("insert into Accounts (AccountID, AccountName) values (3, 'O''Brien'), (7, Null)"));
        first.Execute(QStringLiteral("insert into Transactions (TransactionNumber, TransactionDate, TransactionDescription, "
                                     "AccountID, WithdrawalAmount, DepositAmount, Taxable) values "
                                     "(5, #02/29/2024#, 'a \"quoted\" ''text''', 3, 0.1, Null, True), "
                                     "(9, #12/31/1999 23:59:58#, Null, 7, 12345678901234.56, -0.5, False), "
                                     "(12, Null, 'no date', 3, Null, 1e-7, Null)"));
        first.Execute(QStringLiteral("insert into ImportKeys (AccountID, ImportKey, KeyDate, KeyCents, TransactionNumber) "
                                     "values (3, 'fitid:X1', '2024-02-29', -1234, 5)"));
        first.Execute(QStringLiteral("delete from Transactions where TransactionNumber = 12"));
        before = ledgerState(first);
    }
    const QString server = data::serverConnectionString(testing_support::conninfoOf(testing_support::freshPgDatabase()));
    data::copyLedger(fileSide(QStringLiteral("first.mdb")), server);
    data::copyLedger(server, fileSide(QStringLiteral("second.mdb")));
    Connection onServer, second;
    onServer.Open(server);
    second.Open(fileSide(QStringLiteral("second.mdb")));
    EXPECT_EQ(ledgerState(onServer), before);
    EXPECT_EQ(ledgerState(second), before);

    // A ledger with rows is never copied over; an empty one (as --create-ledger leaves it)
    // takes a copy.
    EXPECT_THROW(data::copyLedger(fileSide(QStringLiteral("first.mdb")), server), platform::DbError);
    EXPECT_EQ(ledgerState(onServer), before);
    const QString empty = data::serverConnectionString(testing_support::conninfoOf(testing_support::freshPgDatabase()));
    {
        Connection made;
        made.setOwner({.createLedger = [](const QString&) { return true; }});
        made.Open(empty);
    }
    data::copyLedger(fileSide(QStringLiteral("first.mdb")), empty);
    Connection copied;
    copied.Open(empty);
    EXPECT_EQ(ledgerState(copied), before);
}

INSTANTIATE_TEST_SUITE_P(, LedgerBothWays, ::testing::Values(Kind::File, Kind::Server),
                         [](const auto& info) { return info.param == Kind::File ? "File" : "Server"; });

} // namespace
