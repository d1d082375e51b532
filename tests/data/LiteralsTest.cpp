// Values written into SQL text by the literal rules come back exactly as typed,
// whatever the user typed.
#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "data/sqlite/Database.h"
#include "tests/support/LedgerEnvironment.h"

#include "platform/Conversions.h"

#include <QDate>
#include <QRandomGenerator>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// Texts a user can type or paste into a description or an account name.
QStringList awkwardTexts()
{
    QStringList texts = {
        QStringLiteral("O'Brien"),
        QStringLiteral("'); delete from Accounts; --"),
        QStringLiteral("\"double\" and \"\"doubled\"\""),
        QStringLiteral("back\\slash\\ and \\'"),
        QStringLiteral("-- not a comment"),
        QStringLiteral("100% _wild_ * ?"),
        QStringLiteral("#03/05/2021# [Date] & True"),
        QStringLiteral("tab\tline\nreturn\r\x01\x1f\x7f end"),
        QStringLiteral("Zoë, Ærø, Łódź, Привет, 東京, مرحبا"),
        QString::fromUtf8("emoji \xF0\x9F\x92\xB0\xF0\x9F\x8E\x89 and a family \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"),
        QString(),
        // A NUL, which would end the database's reading of a literal, wherever it stands.
        QStringLiteral("nul") + QChar(0) + QStringLiteral("inside"),
        QString(QChar(0)),
        QString(2, QChar(0)) + QStringLiteral("'quoted'") + QChar(0),
    };
    QString longText;
    for (int i = 0; longText.size() < 100000; ++i)
        longText += QStringLiteral("line %1 with 'quotes' and \u00e9;\n").arg(i);
    texts << longText.left(100000);
    return texts;
}

class Literals : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.openLedger();
        env.addAccount(QStringLiteral("Bank"));
    }
    testing_support::LedgerEnvironment env;
};

} // namespace

TEST(LiteralRules, ValuesAreWrittenAsTheStatementsExpect)
{
    EXPECT_EQ(data::sql::quoted(QStringLiteral("O'Brien's a\\b\"c")), QStringLiteral("O''Brien''s a\\b\"c"));
    EXPECT_EQ(data::sql::quoted(QStringLiteral("it's") + QChar(0) + QStringLiteral("x")), QStringLiteral("it''s'&Chr(0)&'x"));
    EXPECT_EQ(data::sql::textLiteral(QVariant()), QStringLiteral("Null"));
    EXPECT_EQ(data::sql::dateLiteral(QDate(2021, 3, 5)), QStringLiteral("#03/05/2021#"));
    EXPECT_EQ(data::sql::dateLiteral(QDate(2021, 3, 5), true), QStringLiteral("CDate('03/05/2021')"));
    EXPECT_EQ(data::sql::dateLiteral(QStringLiteral("2021-02-30")), QStringLiteral("'2021-02-30'"));
    EXPECT_EQ(data::sql::jetDate(QDate(987, 12, 31)), QStringLiteral("12/31/0987"));
    const std::pair<QVariant, const char*> amounts[] = {
        {QVariant(), "0"}, {12.5, "12.5"}, {-0.1, "-0.1"}, {1234567.25, "1234567.25"}, {qlonglong(40), "40"}};
    for (const auto& [value, text] : amounts)
        EXPECT_EQ(data::sql::amount(value), QString::fromLatin1(text)) << text;
}

TEST(LiteralRules, PlainNumbersAreSignDigitsPointAndExponentOnly)
{
    for (const char* plain : {"0", "12", "-12.5", "+.5", "5.", "1e5", "1E+15", "-2.5e-07", "007"})
        EXPECT_TRUE(platform::isPlainNumber(QString::fromLatin1(plain))) << plain;
    for (const char* other : {"", "-", "+", ".", "-.", "e5", ".e5", "1e", "1e+", "1.2.3", "1,5", " 1", "1 ", "1\n",
                              "--1", "0x10", "1_000", "12abc", "inf", "1e5.5", "\xd9\xa3"})
        EXPECT_FALSE(platform::isPlainNumber(QString::fromUtf8(other))) << other;
}

TEST_F(Literals, AwkwardDescriptionsAndNamesRoundTripUnchanged)
{
    auto& db = data::connection();
    const QStringList texts = awkwardTexts();
    for (const QString& text : texts) {
        SCOPED_TRACE(text.left(40).toStdString());
        db.Execute(QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                  "WithdrawalAmount,DepositAmount,Taxable) values (#03/05/2021#,'")
                   + data::sql::quoted(text) + QStringLiteral("',1,0,0,0)"));
        db.Execute(QStringLiteral("insert into Accounts (AccountName) values ('") + data::sql::quoted(text)
                   + QStringLiteral("')"));
        data::Recordset rs;
        rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID "
                               "where TransactionNumber=(select max(TransactionNumber) from Transactions)"),
                db, 3, 1);
        EXPECT_EQ(rs.Fields(u"TransactionDescription").Value().toString(), text);
        rs.Close();
        rs.Open(QStringLiteral("select * from Accounts where AccountID=(select max(AccountID) from Accounts)"), db, 3, 1);
        EXPECT_EQ(rs.Fields(u"AccountName").Value().toString(), text);
    }
    // Nothing typed ever ran as a statement of its own.
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Accounts")), std::to_string(1 + texts.size()));
}

TEST_F(Literals, EveryNumberIsWrittenAsTheShortestTextThatReadsBackAsThatVeryNumber)
{
    // Shortest texts first, then numbers the database would read one unit off from
    // their shortest text, then random bit patterns of every size.
    const std::pair<double, const char*> shortest[] = {
        {12345678901234.56, "12345678901234.56"}, {0.1, "0.1"}, {-2.5, "-2.5"}, {100, "100"},
        {1e-7, "1e-07"}, {999999999999999.9, "999999999999999.9"}, {1.7976931348623157e308, "1.7976931348623157e+308"},
        {-0.0, "0"}, {5e-324, "5e-324"}};
    for (const auto& [value, text] : shortest)
        EXPECT_EQ(data::sql::numberLiteral(value), QString::fromLatin1(text));
    std::vector<double> values = {-6.83325587414401e-304, 5.5718693715016827e-308, 2.559007565815377e-297,
                                  -5.519397484262777e-306};
    QRandomGenerator random(8);
    while (values.size() < 3000) {
        quint64 bits = random.generate64();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v))
            values.push_back(v);
    }
    // Read back by the database itself, each as a literal in a statement.
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    for (const double value : values) {
        const QString text = data::sql::numberLiteral(value);
        EXPECT_TRUE(platform::isPlainNumber(text) || std::fabs(value) < 1e-250) << text.toStdString();
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, ("select " + text).toUtf8().constData(), -1, &stmt, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        const double back = sqlite3_column_double(stmt, 0);
        EXPECT_EQ(std::memcmp(&back, &value, sizeof back), 0) << text.toStdString();
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    // An infinity is no amount: refused rather than written as one.
    EXPECT_THROW(data::sql::numberLiteral(HUGE_VAL), platform::AppError);
    EXPECT_THROW(data::sql::numberLiteral(std::nan("")), platform::AppError);
}
