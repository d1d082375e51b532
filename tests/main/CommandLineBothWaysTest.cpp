// The command line's work without a window, run as a script runs it (the built program,
// its output and exit status, the files it writes read back), on the ledger file and on
// a ledger on the test binary's own server: a row another program left without a date
// does not keep the report from being written, and a login role that may only read
// gets every piece of reading work done, while one with no rights is told just that.
#include "data/Connection.h"
#include "tests/support/PdfText.h"
#include "tests/support/PgEnvironment.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using Outcome = testing_support::TestEnvironment::Run;
enum class Kind { File, Server };

class CommandLineBothWays : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == Kind::File) {
            env.placeLedger();
            env.addAccount(QStringLiteral("Household"));
            return;
        }
        database = testing_support::freshPgDatabase();
        data::Connection ledger;
        ledger.setOwner({.createLedger = [](const QString&) { return true; }});
        ledger.Open(data::serverConnectionString(pg().conninfo(database)));
        ASSERT_EQ(ledger.problem(), platform::FileProblem::None) << ledger.problemMessage().toStdString();
        ledger.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Household')"));
        ledger.Close();
    }

    static testing_support::PgServer& pg() { return testing_support::sharedPgServer(); }

    // A row as another program writes it: date, description, account, withdrawal,
    // deposit, taxable.
    void addRow(const QString& values)
    {
        const QString insert = QStringLiteral("insert into Transactions (TransactionDate, TransactionDescription, "
                                              "AccountID, WithdrawalAmount, DepositAmount, Taxable) values (%1)")
                                   .arg(values);
        if (GetParam() == Kind::File) {
            env.sqlite(insert);
            return;
        }
        const auto result = pg().run(insert, database);
        ASSERT_TRUE(result.ok()) << result.error.toStdString();
    }

    // The program started on this test's ledger, as `role` on a server (its owner when
    // empty).
    Outcome run(const QStringList& arguments, const QString& role = {}) const
    {
        const QString ledger = GetParam() == Kind::File ? QStringLiteral("file")
                             : role.isEmpty()           ? pg().conninfo(database)
                                                        : pg().conninfo(database, role);
        return env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), arguments,
                                    {QStringLiteral("TALLYFOLD_LEDGER=") + ledger, QStringLiteral("LC_ALL=C.UTF-8")});
    }

    testing_support::TestEnvironment env;
    QString database;
};

TEST_P(CommandLineBothWays, AReportIsWrittenWithARowThatHasNoDate)
{
    addRow(QStringLiteral("'2024-03-05', 'Rent', 1, 1250.75, 0, false"));
    addRow(QStringLiteral("null, 'Undated refund', 1, 0, 40, false"));
    const QString file = env.root() + QStringLiteral("/report.pdf");
    const Outcome report = run({QStringLiteral("--report-pdf"), file});
    EXPECT_EQ(report.status, 0);
    EXPECT_EQ(report.errors, QString());
    const QString text = testing_support::pdfPages(file).join(u'\n');
    EXPECT_TRUE(text.contains(QStringLiteral("Undated refund"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Rent"))) << text.toStdString();
    // The balance from the totals the list would show: 40 - 1,250.75.
    EXPECT_TRUE(text.contains(QStringLiteral("1,210.75"))) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ledgers, CommandLineBothWays, ::testing::Values(Kind::File, Kind::Server),
                         [](const auto& info) { return info.param == Kind::File ? "File" : "Server"; });

// The reading roles exist on a server alone: as root, the tests cannot make a file that
// only reads.
class ServerRoles : public CommandLineBothWays {};

TEST_P(ServerRoles, AReaderGetsEveryReadingWorkDoneAndARoleWithNoRightsIsToldSo)
{
    addRow(QStringLiteral("'2024-03-05', 'Rent', 1, 1250.75, 0, false"));
    addRow(QStringLiteral("'2024-03-06', 'Salary', 1, 0, 2500, false"));
    // Roles belong to the whole server: named after this test's database.
    const QString reader = database + QStringLiteral("_reader");
    const QString stranger = database + QStringLiteral("_stranger");
    ASSERT_EQ(pg().createRole(reader, {}, database), QString());

    const QString chart = env.root() + QStringLiteral("/chart.svg");
    const Outcome charted = run({QStringLiteral("--chart"), QStringLiteral("balance"), QStringLiteral("--chart-file"),
                                 chart}, reader);
    EXPECT_EQ(charted.status, 0) << charted.errors.toStdString();
    EXPECT_FALSE(charted.errors.contains(QStringLiteral("not written"))) << charted.errors.toStdString();
    EXPECT_GT(QFileInfo(chart).size(), 0);

    const QString pdf = env.root() + QStringLiteral("/report.pdf");
    const Outcome report = run({QStringLiteral("--report-pdf"), pdf}, reader);
    EXPECT_EQ(report.status, 0) << report.errors.toStdString();
    EXPECT_TRUE(testing_support::pdfPages(pdf).join(u'\n').contains(QStringLiteral("Salary")));
    // What it was told: the ledger can only be read, no more.
    EXPECT_TRUE(report.errors.contains(QStringLiteral("can only be read"))) << report.errors.toStdString();

    const QString copy = env.root() + QStringLiteral("/copy.mdb");
    const Outcome copied = run({QStringLiteral("--copy-ledger"), pg().conninfo(database, reader), copy});
    EXPECT_EQ(copied.status, 0) << copied.errors.toStdString();
    EXPECT_EQ(copied.out, QStringLiteral("1 accounts, 2 transactions, 0 import keys, 0 undo steps copied\n"));
    EXPECT_EQ(testing_support::TestEnvironment::rowsOf(copy, QStringLiteral("select TransactionDescription from "
                                                                            "Transactions order by 1")),
              "Rent; Salary");

    // One that may read the rows but not the counters is told what it lacks; nothing is made.
    ASSERT_EQ(pg().run(QStringLiteral("revoke select on all sequences in schema public from ") + reader, database).error,
              QString());
    const QString second = env.root() + QStringLiteral("/second.mdb");
    const Outcome refused = run({QStringLiteral("--copy-ledger"), pg().conninfo(database, reader), second});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.errors.contains(QStringLiteral("counters"))) << refused.errors.toStdString();
    EXPECT_TRUE(refused.errors.contains(QStringLiteral("sequences"))) << refused.errors.toStdString();
    EXPECT_FALSE(QFile::exists(second));

    // A role with no rights at all.
    ASSERT_EQ(pg().createRole(stranger, {}), QString());
    const Outcome refusedAll = run({QStringLiteral("--report-pdf"), pdf + QStringLiteral(".2")}, stranger);
    EXPECT_EQ(refusedAll.status, 1);
    EXPECT_TRUE(refusedAll.errors.contains(QStringLiteral("no right to read it"))) << refusedAll.errors.toStdString();
    EXPECT_FALSE(refusedAll.errors.contains(QStringLiteral("not a Tallyfold ledger"))) << refusedAll.errors.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ledgers, ServerRoles, ::testing::Values(Kind::Server),
                         [](const auto&) { return "Server"; });

} // namespace
