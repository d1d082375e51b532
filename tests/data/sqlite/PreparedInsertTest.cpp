// Inserts of plain values run on statements prepared once a shape, their values bound.
// What they store, and how they fail, must be exactly what the statement as written
// gives: every case runs through the connection on one ledger file and, as text SQLite
// reads whole, on a second file, and the two files must end up the same, cell by cell.
#include "data/sqlite/Database.h"
#include "data/sqlite/JetFunctions.h"
#include "data/sqlite/JetSql.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

using platform::Connection;
using platform::DbError;
using testing_support::TestEnvironment;

namespace {

const char* const kTables[] = {"Accounts", "Transactions", "tblReport"};

// Every cell of a table in rowid order, exactly: the storage class, and integers in
// decimal, reals by their bits, texts by their bytes.
std::string cells(sqlite3* db, const char* table)
{
    const std::string sql = std::string("select * from ") + table + " order by rowid";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(db);
    std::string out;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                out += "integer " + std::to_string(sqlite3_column_int64(stmt, c));
                break;
            case SQLITE_FLOAT: {
                const double real = sqlite3_column_double(stmt, c);
                quint64 bits;
                std::memcpy(&bits, &real, sizeof bits);
                char text[64];
                std::snprintf(text, sizeof text, "real %.17g (%016llx)", real, static_cast<unsigned long long>(bits));
                out += text;
                break;
            }
            case SQLITE_TEXT:
                out += "text '" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                              size_t(sqlite3_column_bytes(stmt, c))) + "'";
                break;
            case SQLITE_NULL:
                out += "null";
                break;
            default:
                out += "blob";
            }
            out += " | ";
        }
        out += "\n";
    }
    sqlite3_finalize(stmt);
    return out;
}

// A ledger file written the way every statement was written before: the translated
// text, read by SQLite whole.
class WholeText {
public:
    explicit WholeText(const QString& path)
    {
        QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        platform::jet::registerFunctions(m_db);
    }
    ~WholeText() { sqlite3_close_v2(m_db); }
    sqlite3* db() const { return m_db; }

    // The error's message, or "" when the statement ran.
    QString execute(const QString& jetSql)
    {
        QByteArray sql;
        try {
            sql = platform::jet::translate(jetSql).toUtf8();
        } catch (const DbError& e) {
            return e.description();
        }
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(m_db));
        const int rc = sqlite3_step(stmt);
        const QString message = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(stmt);
        return message;
    }

private:
    sqlite3* m_db = nullptr;
};

QString errorOf(Connection& db, const QString& sql)
{
    try {
        db.Execute(sql);
    } catch (const DbError& e) {
        return e.description();
    }
    return {};
}

class PreparedInserts : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.placeLedger();
        ledger.Open(env.connectionString());
    }

    // Runs a statement both ways: the same failure or none, and the same cells after.
    void same(const QString& sql)
    {
        SCOPED_TRACE(sql.toStdString());
        EXPECT_EQ(errorOf(ledger, sql), whole.execute(sql));
        sqlite3* file = nullptr;
        ASSERT_EQ(sqlite3_open_v2(env.workingDatabase().toUtf8().constData(), &file, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        for (const char* table : kTables)
            EXPECT_EQ(cells(file, table), cells(whole.db(), table)) << table;
        sqlite3_close_v2(file);
    }

    TestEnvironment env;
    Connection ledger;
    WholeText whole{env.root() + QStringLiteral("/whole.mdb")};
};

// The report's insert with these values in place of the date, the two amounts and the
// two texts.
QString report(const char* values)
{
    return QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values (%1)")
        .arg(QString::fromUtf8(values));
}

// The editor's and the duplicate command's insert.
QString transaction(const char* values)
{
    return QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                          "WithdrawalAmount,DepositAmount,Taxable) values (%1)")
        .arg(QString::fromUtf8(values));
}

struct Case {
    QString sql;
    bool bound;   // read as an insert of plain values
};

} // namespace

TEST_F(PreparedInserts, StoreExactlyWhatTheStatementAsWrittenStoresAndFailAlike)
{
    const Case cases[] = {
        // The report's own copy: dates, shortest amounts, doubled quotes.
        {report("CDate('03/05/2021'),12.5,0,'O''Brien','it''s ''quoted'''"), true},
        {report("CDate('12/31/1999'),-0.1,1234567.25,'',''"), true},
        {report("CDate('02/29/2024'),1e-07,1.7976931348623157e+308,'Zürich ☕ 😀','a\"b\nc'"), true},
        {report("CDate('01/01/0005'),5e-324,-2.2250738585072014e-308,'''','x'"), true},
        // Texts SQLite reads a unit off the nearest double, and -0.
        {report("CDate('2021-3-5'),0.30000000000000004,-0.0,'a','b'"), true},
        {report("#01/02/2003#,2.2250738585072011e-308,9007199254740993.0,'a','b'"), true},
        {report("#2003-01-02#,1.00000000000000011102230246251565404236316680908203125,-0,'a','b'"), true},
        {report("'d',-6.83325587414401e-304,2.559007565815377e-297,'a','b'"), true},
        // An amount no decimal text reads as is written as a product: not a plain value.
        {report("CDate('03/05/2021'),(1.5*4294967296*4294967296),0,'a','b'"), false},
        // Numbers into text columns show whether each was an integer or a real.
        {report("'d',1,2,9223372036854775807,9223372036854775808"), true},
        {report("'d',1,2,-9223372036854775808,-9223372036854775809"), true},
        {report("'d',1,2,99999999999999999999999,000000000000000000000042"), true},
        {report("'d',1,2,-000000000000000000000000000000009223372036854775808,2147483648"), true},
        {report("'d',1,2,-2147483648,-2147483649"), true},
        {report("'d',1.,.5,5.,1E+15"), true},
        {report("'d',1e400,-1e400,1.e5,-.5e-3"), true},
        {report("\"d\", 1 ,\t2\n,\"say \"\"hi\"\"\",'x'  "), true},
        // Not plain values: the words, expressions, second rows and odd numbers SQLite
        // reads its own way (or refuses), all going the ordinary way.
        {report("Null,1,2,'a','b'"), false},
        {report("'d',--5,- 5,'a','b'"), false},
        {report("'d',+5,true,'a','b'"), false},
        {report("'d',0x10,1,'a','b'"), false},
        {report("'d',1_000,1,'a','b'"), false},
        {report("'d',5e,1,'a','b'"), false},
        {report("'d',1.2.3,1,'a','b'"), false},
        // Rows in a batch, as an import and a copy write them, each its own kinds; rows
        // of other lengths are SQLite's to refuse.
        {report("'d',1,2,'a','b'),('e',1.5,2,'a''s','b'), (#03/05/2021#,-3,1e5,'c','d'"), true},
        {report("'d',1,2,'a','b'),('e',1,2,'a'"), false},
        {report("'d',1,2,'a'),('e',1,2,'a','b'"), false},
        {report("'d',1,2,'a','b'),"), false},
        {report("'d',1,2,'a','b') ('e',1,2,'a','b'"), false},
        {report("'d',1,2,'a','b'),('e',Null,2,'a','b'"), false},
        {report("cdate(\"3/5/2021\"),1,2,'a','b'"), false},
        {report("#3/5/2021 2:30 PM#,1,2,'a','b'"), false},
        {report("CDate(' 3/5/2021 '),1,2,'a','b'"), false},
        {report("CDate('02/30/2021'),1,2,'a','b'"), false},
        {report("#13/45/2021#,1,2,'a','b'"), false},
        {report("'d',1,2,'a\xe2\x80\x83',\xe2\x80\x83'b'"), false},
        {QStringLiteral("insert into tblReport (Account) values ('a") + QChar(0) + QStringLiteral("b')"), false},
        // The editor's and the duplicate's inserts, amounts as typed.
        {transaction("#03/05/2021#,'Lunch',1,12.5,0,1"), true},
        {transaction("#03/05/2021#,'Lunch',1,1e5,-5,0"), true},
        {transaction("#03/05/2021#,'Lunch',1,12,5,0,1"), true},   // "12,5": one value too many
        {transaction("#03/05/2021#,'Lunch',1,,0,1"), false},
        {transaction("#03/05/2021#,'Lunch',1,12abc,0,1"), false},
        {transaction("#03/05/2021#,'Lunch',1,'12abc',0,1"), true},   // refused by the file's own check
        {transaction("#03/05/2021#,'Lunch',1,12.5,0,2"), true},
        {transaction("'soon','Lunch',1,12.5,0,1"), true},
        {transaction("#03/05/2021#,'Lunch',1,1e400,0,1"), true},
        {transaction("#03/05/2021#,'Lunch',x,12.5,0,1"), false},
        // Accounts, a key given twice, and statements SQLite refuses for their shape.
        {QStringLiteral("insert into [Accounts] (AccountName) values ('Loans')"), true},
        {QStringLiteral("INSERT INTO Accounts(AccountID,AccountName)VALUES(7,'Seven')"), true},
        {QStringLiteral("insert into Accounts (AccountID,AccountName) values (7,'Again')"), true},
        {QStringLiteral("insert into Accounts (AccountName) values ('a','b')"), true},
        {QStringLiteral("insert into Nope (AccountName) values ('a')"), true},
        {QStringLiteral("insert into Accounts (Nope) values ('a')"), true},
        {QStringLiteral("insert into Accounts values (8,'Eight')"), true},
        {QStringLiteral("insert into Accounts values (9,'Nine'),(10,'Ten')"), true},
        {QStringLiteral("insert into Accounts values (11,'Eleven',12,'Twelve')"), true},
        {QStringLiteral("insert into Accounts (True) values ('a')"), true},
        {QStringLiteral("insert or replace into Accounts (AccountID,AccountName) values (7,'Replaced')"), false},
        {QStringLiteral("insert into Accounts (AccountName) select 'x'"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::jet::ValuesInsert().read(c.sql), c.bound) << c.sql.toStdString();
        same(c.sql);
    }
}

TEST_F(PreparedInserts, ManyShapesInTurnEachKeepTheirOwnColumns)
{
    // More shapes than are kept prepared, over and over: each statement still goes
    // into its own columns with its own kinds of value.
    const QStringList columns = {QStringLiteral("[Date]"), QStringLiteral("ValueIn"), QStringLiteral("ValueOut"),
                                 QStringLiteral("Account"), QStringLiteral("Description")};
    for (int round = 0; round < 3; ++round) {
        for (int shape = 1; shape <= 12; ++shape) {
            const int count = shape % 5 + 1;
            QStringList values;
            for (int v = 0; v < count; ++v)
                values << ((shape + v) % 2 ? QStringLiteral("'t%1'").arg(round) : QString::number(shape * 10 + v));
            const QString into = shape > 6 ? QStringLiteral("INSERT INTO") : QStringLiteral("insert into");
            same(QStringLiteral("%1 tblReport (%2) values (%3)")
                     .arg(into, columns.mid(0, count).join(u','), values.join(u',')));
        }
    }
}

TEST_F(PreparedInserts, AShapeFollowsItsTableThroughChangesAndFailures)
{
    const QString insert = report("CDate('03/05/2021'),1,2,'a','b'");
    same(insert);
    // A row the file refuses leaves the shape usable for the next one.
    same(transaction("'soon','Lunch',1,12.5,0,1"));
    same(transaction("#03/05/2021#,'Lunch',1,12.5,0,1"));
    // A change to the table after the shape was prepared.
    ASSERT_EQ(errorOf(ledger, QStringLiteral("alter table tblReport add column Extra TEXT default 'x'")), QString());
    ASSERT_EQ(whole.execute(QStringLiteral("alter table tblReport add column Extra TEXT default 'x'")), QString());
    same(insert);
    ASSERT_EQ(errorOf(ledger, QStringLiteral("drop table tblReport")), QString());
    ASSERT_EQ(whole.execute(QStringLiteral("drop table tblReport")), QString());
    EXPECT_EQ(errorOf(ledger, insert), QStringLiteral("no such table: tblReport"));
    same(insert);
}
