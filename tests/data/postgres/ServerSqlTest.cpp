// The Jet dialect as the windows write it, and what a PostgreSQL server is handed in
// its place.
#include "data/postgres/ServerSql.h"
#include "data/JetTokens.h"

#include <QLocale>
#include <gtest/gtest.h>

using data::postgres::translate;
using platform::DbError;

namespace {

struct Translation {
    const char* jet;
    const char* server;
};

QString errorOf(const QString& jet)
{
    try {
        translate(jet);
    } catch (const DbError& e) {
        return e.description();
    }
    return {};
}

} // namespace

TEST(ServerTranslation, StatementsTranslateToTheirServerForm)
{
    const Translation cases[] = {
        // Plain SQL passes unchanged, spacing included.
        {"select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID",
         "select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID"},
        // Every ORDER BY term puts Null first, as the file does (the sorted columns carry
        // the ledger's text order themselves); a term that places its Nulls keeps that.
        {"select * from Accounts order by AccountName", "select * from Accounts order by AccountName NULLS FIRST"},
        {"select * from a ORDER  BY x desc, f(y, z) , w nulls last",
         "select * from a ORDER  BY x desc NULLS LAST, f(y, z) NULLS FIRST , w nulls last"},
        {"select (select n from b order by n desc limit 1) from a order by 1;",
         "select (select n from b order by n desc NULLS LAST limit 1) from a order by 1 NULLS FIRST;"},
        {"select 'order by x' from a group by y", "select 'order by x' from a group by y"},
        // Bracketed names are folded as a bare name is, so both name one column.
        {"delete from [Transactions] where TransactionNumber=12", "delete from \"transactions\" where TransactionNumber=12"},
        {"select [odd\"Name] from x", "select \"odd\"\"name\" from x"},
        {"SELECT Count(Accounts.AccountID) AS [CountID] From Accounts",
         "SELECT Count(Accounts.AccountID) AS \"countid\" From Accounts"},
        // Dates are month first and become timestamps, whichever way they are written.
        {"select #03/05/2021#", "select TIMESTAMP '2021-03-05 00:00:00'"},
        {"select #2021-03-05#", "select TIMESTAMP '2021-03-05 00:00:00'"},
        {"select #3/5/2021 2:30 PM#", "select TIMESTAMP '2021-03-05 14:30:00'"},
        {"values (CDate('03/05/2021'),0)", "values (TIMESTAMP '2021-03-05 00:00:00',0)"},
        {"values (cdate(\"3/5/2021\"),'a')", "values (TIMESTAMP '2021-03-05 00:00:00','a')"},
        // Texts: double quotes become single, and a backslash is plain text whatever
        // the server's setting for it.
        {"select \"say \"\"hi\"\" it's\"", "select 'say \"hi\" it''s'"},
        {"select 'O''Brien'", "select 'O''Brien'"},
        {"select 'C:\\x'''", "select E'C:\\\\x'''"},
        // Yes and No are truths, but not a name after a dot nor a function.
        {"select * from t where Taxable = Yes or x = FALSE", "select * from t where Taxable = true or x = false"},
        {"select t.yes, no(1) from t", "select t.yes, no(1) from t"},
        // A number with a point or an exponent is a double, as on the file.
        {"values (12.5,1e-3,7,(1.5e-300/4294967296/4294967296))",
         "values (12.5::float8,1e-3::float8,7,(1.5e-300::float8/4294967296/4294967296))"},
        {"select 5true, 1e5yes", "select 5true, 1e5yes"},
        // A yes/no column given a number in an insert or an update gets the truth.
        {"insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,"
         "Taxable) values (#01/02/2024#,'x',1,0,0,1)",
         "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,DepositAmount,"
         "Taxable) values (TIMESTAMP '2024-01-02 00:00:00','x',1,0,0,true)"},
        {"insert into Transactions (Taxable, AccountID) values (0, 0), ( -1 ,1)",
         "insert into Transactions (Taxable, AccountID) values (false, 0), ( true ,1)"},
        {"update Transactions set WithdrawalAmount=1,Taxable=0 where TransactionNumber=1",
         "update Transactions set WithdrawalAmount=1,Taxable=false where TransactionNumber=1"},
        {"update [Transactions] set [Taxable] = 2", "update \"transactions\" set \"taxable\" = true"},
        // ... and only a plain number: an expression or another column stays.
        {"update Transactions set Taxable=1-1, AccountID=1", "update Transactions set Taxable=1-1, AccountID=1"},
        {"insert into Accounts (AccountID) values (1)", "insert into Accounts (AccountID) values (1)"},
        // & joins texts; "--" and "/*" open no comment.
        {"select 'a' & b & \"c\"", "select 'a' || b || 'c'"},
        {"select 5--3, 4/*2", "select 5- -3, 4/ *2"},
        // Words inside texts and names are never touched.
        {"select 'yes & #1/1/2000#', [no]", "select 'yes & #1/1/2000#', \"no\""},
        {"select Chr(65) & Chr(10)", "select Chr(65) || Chr(10)"},
    };
    for (const Translation& c : cases)
        EXPECT_EQ(translate(QString::fromUtf8(c.jet)), QString::fromUtf8(c.server)) << c.jet;
}

TEST(ServerTranslation, RefusesWhatItCannotCarryWhole)
{
    const QString nul = data::postgres::nulRefusalMessage();
    // As the file's translation refuses them.
    EXPECT_EQ(errorOf(QStringLiteral("select 'open")), QStringLiteral("Syntax error in string in query expression 'select 'open'."));
    EXPECT_EQ(errorOf(QStringLiteral("select [open")), QStringLiteral("Syntax error in name in query expression 'select [open'."));
    EXPECT_EQ(errorOf(QStringLiteral("select #13/45/2021#")),
              QStringLiteral("Syntax error in date in query expression 'select #13/45/2021#'."));
    EXPECT_EQ(errorOf(QStringLiteral("select cdate('someday')")), QStringLiteral("Data type mismatch in criteria expression."));
    for (const char* parameter : {"select ?", "select :a", "select @a", "select $1"})
        EXPECT_EQ(errorOf(QString::fromLatin1(parameter)), QStringLiteral("No value given for one or more required parameters."))
            << parameter;
    // A text holding Chr(0), however it is written, is refused, never stored cut short.
    EXPECT_EQ(errorOf(QStringLiteral("insert into Accounts (AccountName) values ('a'&Chr(0)&'b')")), nul);
    EXPECT_EQ(errorOf(QStringLiteral("select chr( 0 )")), nul);
    EXPECT_EQ(errorOf(QStringLiteral("select 'a") + QChar(0) + QStringLiteral("b'")), nul);
    EXPECT_EQ(errorOf(QStringLiteral("select Chr(0 + 1), Chr(10)")), QString());
}

TEST(ServerTranslation, CDateOfADoubleQuotedTextIsReadInTheUsersFormat)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString dayFirst = translate(QStringLiteral("values (cdate(\"05.03.2021\"), CDate('05/03/2021'))"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(dayFirst, QStringLiteral("values (TIMESTAMP '2021-03-05 00:00:00', TIMESTAMP '2021-05-03 00:00:00')"));
}
