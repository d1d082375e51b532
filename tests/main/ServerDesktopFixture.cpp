#include "tests/main/ServerDesktopFixture.h"

#include "data/Connection.h"

#include <QtTest/QTest>

namespace {
// A server that a loaded machine under the sanitizers keeps waiting.
constexpr int kPatienceMs = 30000;
} // namespace

void ServerDesktopTest::SetUp()
{
    database = testing_support::freshPgDatabase();
    useLedger(testing_support::sharedPgServer().conninfo(database));
}

void ServerDesktopTest::useLedger(const QString& info)
{
    conninfo = info;
    ledgerVariable.set(conninfo.toUtf8().constData());
    if (server(QStringLiteral("select count(*) from pg_tables where tablename = 'ledgerformat'")) == "1")
        return;
    data::Connection ledger;
    ledger.setOwner({.createLedger = [](const QString&) { return true; }});
    ledger.Open(data::serverConnectionString(testing_support::sharedPgServer().conninfo(database)));
    ASSERT_EQ(ledger.problem(), platform::FileProblem::None) << ledger.problemMessage().toStdString();
    ledger.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Household')"));
    ledger.Close();
}

void ServerDesktopTest::seed(int count) const
{
    const auto result = testing_support::sharedPgServer().run(
        QStringLiteral("insert into transactions (transactiondate, transactiondescription, accountid, "
                       "withdrawalamount, depositamount, taxable) select '2024-03-05', 'row ' || lpad(i::text, 3, "
                       "'0'), 1, i, 0, false from generate_series(1, %1) i")
            .arg(count),
        database);
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
}

std::string ServerDesktopTest::server(const QString& sql) const
{
    const auto result = testing_support::sharedPgServer().run(sql, database);
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    return result.rows.toStdString();
}

bool ServerDesktopTest::reloadedSince(int before) const
{
    return QTest::qWaitFor([&] { return form.reloads() > before; }, kPatienceMs);
}

QProcessEnvironment ServerDesktopTest::desktopEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), env.dataHome());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configHome());
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const char* screen : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(screen));
    return environment;
}
