// Statement rows at the ends of what a ledger keeps, imported by the built program's
// --import into a file ledger and into a server ledger: the rows it cannot keep are named
// with their lines and left out, every other row arrives once and exactly, and no message
// shows the statements the program runs.
#include "data/Connection.h"
#include "tests/importer/StatementWriters.h"
#include "tests/support/PgEnvironment.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using testing_support::TestEnvironment;

namespace {

enum class Kind { File, Server };

class StatementLimitsImport : public ::testing::TestWithParam<std::tuple<Kind, int>> {
protected:
    void SetUp() override
    {
        if (kind() == Kind::File) {
            env.placeLedger();
            env.addAccount(QStringLiteral("Bank"));
            return;
        }
        database = testing_support::freshPgDatabase();
        conninfo = testing_support::sharedPgServer().conninfo(database);
        data::Connection ledger;
        ledger.setOwner({.createLedger = [](const QString&) { return true; }});
        ledger.Open(data::serverConnectionString(conninfo));
        ASSERT_EQ(ledger.problem(), platform::FileProblem::None) << ledger.problemMessage().toStdString();
        ledger.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Bank')"));
        ledger.Close();
    }

    Kind kind() const { return std::get<0>(GetParam()); }
    const testing_support::Writer& format() const { return testing_support::kFormats[std::get<1>(GetParam())]; }

    TestEnvironment::Run import(const QString& file) const
    {
        const QString runtime = env.root() + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QStringList variables = {QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("XDG_RUNTIME_DIR=") + runtime};
        if (kind() == Kind::Server)
            variables.append(QStringLiteral("TALLYFOLD_LEDGER=") + conninfo);
        return env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM),
                                    {QStringLiteral("--import"), file, QStringLiteral("--account"), QStringLiteral("Bank")},
                                    variables);
    }

    // The one value of `sql`, the same text on either back end.
    std::string value(const QString& sql) const
    {
        if (kind() == Kind::File)
            return env.rows(sql);
        const auto result = testing_support::sharedPgServer().run(sql, database);
        EXPECT_TRUE(result.ok()) << result.error.toStdString();
        return result.rows.toStdString();
    }

    TestEnvironment env;
    QString database, conninfo;
};

TEST_P(StatementLimitsImport, RowsTheLedgerCannotKeepAreNamedAndTheOthersArriveExactly)
{
    const QByteArray statement = format().write({{"2024-03-05", "-3.50", QStringLiteral("Coffee")},
                                                 {"9999-12-31", "-1.00", QStringLiteral("Last day")},
                                                 {"0001-01-01", "-2.00", QStringLiteral("Year one")},
                                                 {"2024-03-06", "99999999999999.99", QStringLiteral("Too big")},
                                                 {"2024-03-07", "99999999999999.97", QStringLiteral("Big")}});
    const QString file = env.writeFile(QString::fromLatin1(format().name), statement);
    const TestEnvironment::Run first = import(file);
    EXPECT_EQ(first.status, 0) << first.errors.toStdString();
    EXPECT_EQ(first.out, QStringLiteral("3 added, 0 already in the ledger, 2 not readable\n"));
    const QStringList told = first.errors.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(told.size(), 2) << first.errors.toStdString();
    EXPECT_TRUE(told.at(0).contains(u"the date 0001-01-01 is outside the days a ledger keeps (0100-01-01 to 9999-12-31)"))
        << told.at(0).toStdString();
    EXPECT_TRUE(told.at(1).contains(u"the ledger would keep the amount 99999999999999.99 as 99999999999999.98"))
        << told.at(1).toStdString();
    for (const QString& line : told)
        EXPECT_FALSE(line.contains(u"select", Qt::CaseInsensitive) || line.contains(u'#')) << line.toStdString();

    EXPECT_EQ(value(QStringLiteral("select count(*) from transactions")), "3");
    EXPECT_EQ(value(QStringLiteral("select count(*) from transactions where transactiondate = '9999-12-31' "
                                   "and withdrawalamount = 1")), "1");
    // 99999999999999.97 is kept as the double nearest to it, which writes back as itself.
    EXPECT_EQ(value(QStringLiteral("select count(*) from transactions where depositamount = 99999999999999.96875")), "1");

    const TestEnvironment::Run again = import(file);
    EXPECT_EQ(again.status, 0) << again.errors.toStdString();
    EXPECT_EQ(again.out, QStringLiteral("0 added, 3 already in the ledger, 2 not readable\n"));
    EXPECT_EQ(value(QStringLiteral("select count(*) from transactions")), "3");
}

// A closing balance taken on the ledger's last day is compared with the account's
// balance at the end of that day, which no literal after it can bound.
class ClosingOnTheLastDay : public StatementLimitsImport {};

TEST_P(ClosingOnTheLastDay, IsComparedWithEveryRowOfTheAccount)
{
    QByteArray statement = testing_support::ofxOf({{"2024-03-05", "-1.00", QStringLiteral("Coffee")}});
    statement.replace("</STMTRS>", "<LEDGERBAL><BALAMT>5.00<DTASOF>99991231</LEDGERBAL></STMTRS>");
    const TestEnvironment::Run run = import(env.writeFile(QStringLiteral("closing.ofx"), statement));
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    EXPECT_EQ(run.errors, QString());
    EXPECT_TRUE(run.out.startsWith(u"1 added, 0 already in the ledger, 0 not readable\n")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(u"closing balance on 9999-12-31, 5.00, differs from the account's, -1.00, by 6.00"))
        << run.out.toStdString();
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<Kind, int>>& info)
{
    static const char* const kNames[] = {"Csv", "Qif", "Ofx", "Camt"};
    return std::string(std::get<0>(info.param) == Kind::File ? "File" : "Server") + kNames[std::get<1>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EachFormatOnEachLedger, StatementLimitsImport,
                         ::testing::Combine(::testing::Values(Kind::File, Kind::Server), ::testing::Values(0, 1, 2, 3)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(OfxOnEachLedger, ClosingOnTheLastDay,
                         ::testing::Combine(::testing::Values(Kind::File, Kind::Server), ::testing::Values(2)), caseName);

} // namespace
