// The Jet dialect as the windows write it, and what SQLite is handed in its place.
#include "data/sqlite/Database.h"
#include "data/sqlite/JetSql.h"
#include "tests/support/TestEnvironment.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>

using platform::jet::translate;

namespace {

struct Translation {
    const char* jet;
    const char* sqlite;
};

// Sets the default locale for one test and puts the English one back.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

QVariant selectOne(platform::Connection& db, const QString& jetExpression)
{
    platform::Recordset rs;
    rs.Open(QStringLiteral("select ") + jetExpression + QStringLiteral(" as v"), db, 3, 1);
    EXPECT_FALSE(rs.eof());
    const QVariant v = rs.Fields(u"v").Value();
    rs.Close();
    return v;
}

} // namespace

TEST(JetTranslation, StatementsTranslateToTheirSqliteForm)
{
    const Translation cases[] = {
        // Plain SQL passes unchanged, spacing included.
        {"select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID",
         "select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID"},
        // Bracketed names become quoted identifiers.
        {"delete from [Transactions] where TransactionNumber=12",
         "delete from \"Transactions\" where TransactionNumber=12"},
        {"select [odd\"name] from x", "select \"odd\"\"name\" from x"},
        // Date literals are month first and become stored date text.
        {"values (#03/05/2021#,'x')", "values ('2021-03-05','x')"},
        {"select #2021-03-05#", "select '2021-03-05'"},
        {"select #3/5/2021 14:30:00#", "select '2021-03-05 14:30:00'"},
        {"select #3/5/2021 2:30 PM#", "select '2021-03-05 14:30:00'"},
        // CDate of a literal is folded; either quote works.
        {"values (CDate('03/05/2021'),0)", "values ('2021-03-05',0)"},
        {"values (cdate(\"3/5/2021\"),'a')", "values ('2021-03-05','a')"},
        {"select CDate(x) from t", "select CDate(x) from t"},
        // Every ORDER BY term sorts text as Jet does; a term's own collation stays.
        {"select * from Accounts order by AccountName", "select * from Accounts order by AccountName COLLATE JETTEXT "},
        {"select * from a ORDER  BY x desc, f(y, z) , w collate binary",
         "select * from a ORDER  BY x COLLATE JETTEXT desc, f(y, z) COLLATE JETTEXT , w collate binary"},
        {"select (select n from b order by n) from a order by 1;",
         "select (select n from b order by n COLLATE JETTEXT ) from a order by 1 COLLATE JETTEXT ;"},
        {"select 'order by x' from a group by y", "select 'order by x' from a group by y"},
        // Strings: single quotes stay, double quotes become single, nothing inside is syntax.
        {"values ('O''Brien')", "values ('O''Brien')"},
        {"values ('#1 [x] \"q\" & -- ; /*')", "values ('#1 [x] \"q\" & -- ; /*')"},
        {"values (\"say 'hi'\")", "values ('say ''hi''')"},
        // Yes/no words, but not as names after a dot or as calls, and only whole: a
        // number with letters run on stays one token for the database to refuse.
        {"where Taxable=True or Taxable=no", "where Taxable=1 or Taxable=0"},
        {"select t.No, t.True from t", "select t.No, t.True from t"},
        {"select 5true, 1e5yes, 2No, .5false", "select 5true, 1e5yes, 2No, .5false"},
        {"select yes5, no_, _true, false$, 5 true", "select yes5, no_, _true, false$, 5 1"},
        // "on" is the join's keyword, and neither it nor "off" is a yes/no word.
        {"select * from a inner join b on b.x = a.x where y=off",
         "select * from a inner join b on b.x = a.x where y=off"},
        // Jet's concatenation.
        {"select a & b", "select a || b"},
        // Numbers, exponents included, are left alone.
        {"values (1E+15,-2.5e-3,.5)", "values (1E+15,-2.5e-3,.5)"},
        // Jet has no comments: two minus signs are two minus signs.
        {"select 5--3", "select 5- -3"},
        {"select 4/*2*/", "select 4/ *2*/"},
        // First and Last stay for the connection's own aggregates.
        {"SELECT First(Accounts.AccountID) AS [MaxID] FROM Accounts",
         "SELECT First(Accounts.AccountID) AS \"MaxID\" FROM Accounts"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.jet);
        EXPECT_EQ(translate(QString::fromUtf8(c.jet)), QString::fromUtf8(c.sqlite));
    }
}

TEST(JetTranslation, ParametersAreRefusedNotReadAsNull)
{
    const char* cases[] = {
        "select * from Transactions where TransactionNumber=?",
        "select * from Transactions where TransactionNumber=?1",
        "delete from Accounts where AccountID=:id",
        "delete from Accounts where AccountID=@id",
        "update Transactions set TransactionDescription=$text",
    };
    for (const char* jet : cases) {
        SCOPED_TRACE(jet);
        try {
            translate(QString::fromUtf8(jet));
            ADD_FAILURE() << "translated";
        } catch (const platform::DbError& e) {
            EXPECT_EQ(e.description(), QStringLiteral("No value given for one or more required parameters."));
        }
    }
    // Inside texts, names and dates they are plain characters.
    EXPECT_EQ(translate(QStringLiteral("values ('?:@$', [a?b], #3/5/2021 2:30 PM#)")),
              QStringLiteral("values ('?:@$', \"a?b\", '2021-03-05 14:30:00')"));
}

TEST(JetTranslation, MalformedTextIsRefused)
{
    const char* cases[] = {
        "values ('unterminated",
        "values (\"unterminated",
        "select [Date from tblReport",
        "values (#03/05/2021",
        "values (#13/45/2021#)",
        "values (#not a date#)",
        "values (CDate('someday'))",
    };
    for (const char* jet : cases)
        EXPECT_THROW(translate(QString::fromUtf8(jet)), platform::DbError) << jet;
}

TEST(JetTranslation, DoubleQuotedCDateReadsTheUsersShortDateFirst)
{
    // The sample data writes today's date in the user's short format inside
    // cdate("..."); a day-first user must get the same day back, not the month swapped.
    DefaultLocale british(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(translate(QStringLiteral("values (cdate(\"05/03/2021\"))")), QStringLiteral("values ('2021-03-05')"));
    EXPECT_EQ(translate(QStringLiteral("values (cdate(\"25/12/2021\"))")), QStringLiteral("values ('2021-12-25')"));
    // The report's fixed month-first form keeps reading month first.
    EXPECT_EQ(translate(QStringLiteral("values (CDate('05/03/2021'))")), QStringLiteral("values ('2021-05-03')"));
}

TEST(JetTranslation, ExpressionsGiveJetsResults)
{
    testing_support::TestEnvironment env;
    env.placeLedger();
    platform::Connection db;
    db.Open(env.connectionString());
    EXPECT_EQ(selectOne(db, QStringLiteral("5--3")).toLongLong(), 8);
    EXPECT_EQ(selectOne(db, QStringLiteral("5 + true")).toLongLong(), 6);
    EXPECT_THROW(selectOne(db, QStringLiteral("5true")), platform::DbError);
    EXPECT_THROW(selectOne(db, QStringLiteral("1e5yes")), platform::DbError);
    EXPECT_EQ(selectOne(db, QStringLiteral("'Tally' & \"fold\"")).toString(), QStringLiteral("Tallyfold"));
    EXPECT_EQ(selectOne(db, QStringLiteral("CDate(' 3/5/2021 ')")).toString(), QStringLiteral("2021-03-05"));
    // CDate of a value that is not a literal is done by the database at run time.
    EXPECT_EQ(selectOne(db, QStringLiteral("CDate('03/' || '05/2021')")).toString(), QStringLiteral("2021-03-05"));
    EXPECT_FALSE(selectOne(db, QStringLiteral("CDate(Null)")).isValid());
    EXPECT_THROW(selectOne(db, QStringLiteral("CDate('x' || 'y')")), platform::DbError);
}
