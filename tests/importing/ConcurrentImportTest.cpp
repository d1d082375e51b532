// Several copies of the program importing one statement at the same moment, each a real
// process started as a script starts it: round after round, the ledger holds every row
// once, no import key twice, and what the copies print adds up to the statement (the
// rows one added, the others found already in the ledger). On the ledger file and on a
// server ledger.
#include "data/Connection.h"
#include "tests/support/PgEnvironment.h"
#include "tests/support/TestEnvironment.h"

#include <QRegularExpression>
#include <future>
#include <gtest/gtest.h>
#include <vector>

namespace {

enum class Kind { File, Server };

constexpr int kRounds = 10;
constexpr int kCopies = 3;
constexpr int kRows = 2000;

class ConcurrentImport : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        // The data folder's file is there on a server too, as after any first start.
        env.placeLedger();
        if (GetParam() == Kind::File) {
            env.addAccount(QStringLiteral("Bank"));
            return;
        }
        database = testing_support::freshPgDatabase();
        const QString conninfo = testing_support::sharedPgServer().conninfo(database);
        ledgerVariable = QStringLiteral("TALLYFOLD_LEDGER=") + conninfo;
        data::Connection ledger;
        ledger.setOwner({.createLedger = [](const QString&) { return true; }});
        ledger.Open(data::serverConnectionString(conninfo));
        ASSERT_EQ(ledger.problem(), platform::FileProblem::None) << ledger.problemMessage().toStdString();
        ledger.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Bank')"));
        ledger.Close();
    }

    // One value or a few rows of the ledger, whichever back end keeps it.
    std::string ask(const QString& sql) const
    {
        if (GetParam() == Kind::File)
            return env.rows(sql);
        const auto result = testing_support::sharedPgServer().run(sql, database);
        EXPECT_TRUE(result.ok()) << result.error.toStdString();
        return result.rows.toStdString();
    }

    testing_support::TestEnvironment::Run import(const QString& file) const
    {
        QStringList more{QStringLiteral("LC_ALL=C.UTF-8")};
        if (!ledgerVariable.isEmpty())
            more << ledgerVariable;
        return env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM),
                                    {QStringLiteral("--import"), file, QStringLiteral("--account"), QStringLiteral("Bank")},
                                    more);
    }

    testing_support::TestEnvironment env;
    QString database, ledgerVariable;
};

// A statement of its own for each round, so that each round starts from rows the ledger
// has not seen; two identical rows a day, as real statements have them.
QByteArray statement(int round)
{
    QByteArray csv = "Date,Description,Amount\n";
    for (int i = 0; i < kRows; ++i) {
        csv += QDate(2020, 1, 1).addDays(round * 400 + i / 5).toString(Qt::ISODate).toLatin1() + ",Shop "
            + QByteArray::number(i / 2) + ",-" + QByteArray::number(1 + i % 7) + ".25\n";
    }
    return csv;
}

} // namespace

TEST_P(ConcurrentImport, EveryRowArrivesOnceAndTheOutputsAddUp)
{
    const QRegularExpression told(QStringLiteral("^(\\d+) added, (\\d+) already in the ledger, 0 not readable\n$"));
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        const QString file = env.writeFile(QStringLiteral("round%1.csv").arg(round), statement(round));
        std::vector<std::future<testing_support::TestEnvironment::Run>> copies;
        for (int copy = 0; copy < kCopies; ++copy)
            copies.push_back(std::async(std::launch::async, [&] { return import(file); }));
        int added = 0;
        for (auto& copy : copies) {
            const auto run = copy.get();
            ASSERT_EQ(run.status, 0) << run.errors.toStdString();
            EXPECT_EQ(run.errors, QString());
            const QRegularExpressionMatch counts = told.match(run.out);
            ASSERT_TRUE(counts.hasMatch()) << run.out.toStdString();
            EXPECT_EQ(counts.captured(1).toInt() + counts.captured(2).toInt(), kRows) << run.out.toStdString();
            added += counts.captured(1).toInt();
        }
        EXPECT_EQ(added, kRows) << "the copies between them added each row once";
        EXPECT_EQ(ask(QStringLiteral("select count(*) from Transactions")), std::to_string(kRows * (round + 1)));
        EXPECT_EQ(ask(QStringLiteral("select count(*) from (select AccountID, ImportKey from ImportKeys "
                                     "group by AccountID, ImportKey having count(*) > 1) twice")),
                  "0");
    }
}

INSTANTIATE_TEST_SUITE_P(, ConcurrentImport, ::testing::Values(Kind::File, Kind::Server),
                         [](const auto& info) { return info.param == Kind::File ? "File" : "Server"; });
