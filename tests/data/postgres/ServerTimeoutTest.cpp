// A server ledger never waits without end: the user's connect_timeout holds for each
// host of a list, the next host tried when one does not answer (10 s only when nothing
// says), and a server that stops answering in the middle of a statement is taken for
// lost once a statement's limit has passed, then connected to again.
#include "data/postgres/PgSession.h"
#include "data/postgres/ServerBackend.h"
#include "tests/data/postgres/ServerFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QTest>
#include <arpa/inet.h>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using data::postgres::ServerBackend;
using platform::FileProblem;
using platform::FileRefusal;
using testing_support::OwnerLog;
using testing_support::serverRows;

namespace {

// A TCP port on 127.0.0.1 that takes connections (the system completes them) and never
// says a word: a host that does not answer.
class SilentHost {
public:
    SilentHost()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_socket, 16);
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentHost() { ::close(m_socket); }
    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

// Stops server processes and lets them go on again however the test ends.
class Stopped {
public:
    void stop(int pid)
    {
        ::kill(pid, SIGSTOP);
        m_pids.push_back(pid);
    }
    ~Stopped()
    {
        for (int pid : m_pids)
            ::kill(pid, SIGCONT);
    }

private:
    std::vector<int> m_pids;
};

QString hostList(const SilentHost& silent, const QString& database, const QString& timeout)
{
    auto& server = testing_support::sharedPgServer();
    return QStringLiteral("host=127.0.0.1,%1 port=%2,%3 dbname=%4 user=postgres%5")
        .arg(server.socketDir())
        .arg(silent.port())
        .arg(server.port())
        .arg(database, timeout);
}

TEST(ServerTimeout, EachHostOfAListGetsTheUsersConnectTimeoutAndTheNextIsTried)
{
    const QString database = testing_support::freshPgDatabase();
    SilentHost silent;
    OwnerLog log;
    ServerBackend backend;
    backend.setOwner(log.owner());
    QElapsedTimer clock;
    clock.start();
    backend.open(data::serverConnectionString(hostList(silent, database, QStringLiteral(" connect_timeout=2"))));
    EXPECT_EQ(backend.problem(), FileProblem::None);
    // Two seconds for the silent host, once: the readers and the listener go straight to
    // the host that answered.
    EXPECT_LT(clock.elapsed(), 5000);
    backend.execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    EXPECT_EQ(backend.query(QStringLiteral("select count(*) from Accounts"))->value(0), QVariant(qlonglong(1)));
    backend.close();

    // A silent host alone: refused after the user's time, not the program's ten seconds.
    clock.restart();
    const QString alone = QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 connect_timeout=3").arg(silent.port()).arg(database);
    EXPECT_THROW(backend.open(data::serverConnectionString(alone)), FileRefusal);
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(data::postgres::connectSeconds(alone), 3);
    EXPECT_EQ(data::postgres::connectSeconds(hostList(silent, database, QStringLiteral(" connect_timeout=4"))), 8);
    EXPECT_EQ(data::postgres::connectSeconds(QStringLiteral("dbname=x")), data::postgres::kDefaultConnectSeconds);
}

// What a stopped server holds up: the writer's statement, or a reader's query.
struct StoppedMidway {
    const char* name;
    bool writer;
};

class ServerStopped : public ::testing::TestWithParam<StoppedMidway> {};

TEST_P(ServerStopped, AStatementItDoesNotAnswerEndsAsALostServerAndItComesBack)
{
    testing_support::ScopedVariable limit("TALLYFOLD_STATEMENT_SECONDS");
    limit.set("2");
    const QString database = testing_support::freshPgDatabase();
    OwnerLog log;
    auto backend = testing_support::openServerLedger(database, log);
    backend->query(QStringLiteral("select * from Accounts"));   // a reader, idle now
    const int writer = static_cast<data::postgres::PgSession*>(backend->session())->backendPid();
    const std::string readers =
        serverRows(QStringLiteral("select string_agg(pid::text, ',') from pg_stat_activity where datname = "
                                  "current_database() and application_name = 'Tallyfold' and pid <> %1 and "
                                  "query not like 'listen%'")
                       .arg(writer),
                   database);
    {
        Stopped stopped;
        if (GetParam().writer) {
            stopped.stop(writer);
        } else {
            for (const QString& pid : QString::fromStdString(readers).split(u','))
                stopped.stop(pid.toInt());
        }
        QElapsedTimer clock;
        clock.start();
        try {
            if (GetParam().writer)
                backend->execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
            else
                backend->query(QStringLiteral("select * from Accounts"));
            ADD_FAILURE() << "a stopped server answered";
        } catch (const FileRefusal&) {
        }
        EXPECT_GE(clock.elapsed(), 1900);
        EXPECT_LT(clock.elapsed(), 8000);
        EXPECT_EQ(backend->problem(), FileProblem::Away);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return backend->problem() == FileProblem::None; }, 15000));
    backend->execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
    EXPECT_EQ(serverRows(QStringLiteral("select string_agg(accountname, ',') from accounts"), database), "Food");
}

INSTANTIATE_TEST_SUITE_P(Server, ServerStopped,
                         ::testing::Values(StoppedMidway{"TheWriter", true}, StoppedMidway{"AReader", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
