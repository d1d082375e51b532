// The command line on a server ledger, run as a script runs it (the built program, in a
// process of its own): --create-ledger says what it made, and refuses a ledger that is
// only part of one; an --import whose commit the server made durable but whose answer
// was lost asks the server, once it is back, which it was, and says so.
#include "tests/main/ServerDesktopFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// Where the program's connections to the server are cut: after the server's answer to
// the import's COMMIT (the commit durable, its answer lost) or before the COMMIT
// reaches the server (nothing written).
enum class Cut { AnswerLost, CommitLost };

// A Unix socket standing between the program and the server, passing every byte on,
// that cuts the connection which wrote the import's keys once at `cut`, both ways at
// once, as a server gone at that moment would. Connections made after go through.
class CuttingProxy {
public:
    explicit CuttingProxy(Cut cut) : m_cut(cut)
    {
        auto& server = testing_support::sharedPgServer();
        m_serverSocket = server.socketDir() + QStringLiteral("/.s.PGSQL.%1").arg(server.port());
        m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(m_folder.path() + QStringLiteral("/.s.PGSQL.%1").arg(server.port()));
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 16);
        if (::pipe(m_wake) != 0)
            ADD_FAILURE() << "no pipe to stop the proxy with";
        m_thread = std::thread([this] { serve(); });
    }
    ~CuttingProxy()
    {
        [[maybe_unused]] const ssize_t woken = ::write(m_wake[1], "x", 1);
        m_thread.join();
        for (int fd : {m_listener, m_wake[0], m_wake[1]})
            ::close(fd);
    }
    QString conninfo(const QString& database) const
    {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=postgres")
            .arg(m_folder.path())
            .arg(testing_support::sharedPgServer().port())
            .arg(database);
    }
    bool cut() const { return m_done; }

private:
    struct Pair {
        int client, server;
        bool armed = false;
    };

    static sockaddr_un addressOf(const QString& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.toUtf8().constData(), sizeof address.sun_path - 1);
        return address;
    }

    static bool sendAll(int fd, const char* bytes, ssize_t size)
    {
        for (ssize_t sent = 0; sent < size;) {
            const ssize_t now = ::write(fd, bytes + sent, size_t(size - sent));
            if (now <= 0)
                return false;
            sent += now;
        }
        return true;
    }

    static bool holds(const QByteArray& bytes, QByteArrayView what) { return bytes.toLower().contains(what); }

    void serve()
    {
        std::vector<Pair> pairs;
        for (;;) {
            std::vector<pollfd> waits{{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
            for (const Pair& p : pairs) {
                waits.push_back({p.client, POLLIN, 0});
                waits.push_back({p.server, POLLIN, 0});
            }
            ::poll(waits.data(), waits.size(), -1);
            if (waits[0].revents)
                break;
            const size_t polled = pairs.size();
            if (waits[1].revents & POLLIN) {
                Pair p{::accept(m_listener, nullptr, nullptr), ::socket(AF_UNIX, SOCK_STREAM, 0)};
                const sockaddr_un address = addressOf(m_serverSocket);
                ::connect(p.server, reinterpret_cast<const sockaddr*>(&address), sizeof address);
                pairs.push_back(p);
            }
            std::vector<Pair> going;
            for (size_t i = 0; i < pairs.size(); ++i) {
                if (i >= polled || pass(pairs[i], waits[2 + 2 * i].revents, waits[3 + 2 * i].revents))
                    going.push_back(pairs[i]);
                else
                    ::close(pairs[i].client), ::close(pairs[i].server);
            }
            pairs = going;
        }
        for (const Pair& p : pairs)
            ::close(p.client), ::close(p.server);
    }

    // Passes what is waiting each way; false when the pair ends (closed, or cut).
    bool pass(Pair& p, short fromClient, short fromServer)
    {
        char buffer[65536];
        if (fromClient) {
            const ssize_t got = ::read(p.client, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            const QByteArray bytes(buffer, got);
            if (!m_done && holds(bytes, "insert") && holds(bytes, "importkeys"))
                p.armed = true;
            if (p.armed && m_cut == Cut::CommitLost && QByteArrayView(bytes).contains(QByteArrayView("commit\0", 7))) {
                m_done = true;
                return false;
            }
            if (!sendAll(p.server, buffer, got))
                return false;
        }
        if (fromServer) {
            const ssize_t got = ::read(p.server, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            const QByteArray bytes(buffer, got);
            if (p.armed && m_cut == Cut::AnswerLost && bytes.contains(QByteArray("C\0\0\0\x0b" "COMMIT\0", 12))) {
                m_done = true;
                return false;
            }
            if (!sendAll(p.client, buffer, got))
                return false;
        }
        return true;
    }

    Cut m_cut;
    QTemporaryDir m_folder;
    QString m_serverSocket;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};

class ServerCommand : public ServerDesktopTest {
protected:
    testing_support::TestEnvironment::Run program(const QStringList& arguments, const QString& ledger)
    {
        return env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), arguments,
                                    {QStringLiteral("TALLYFOLD_LEDGER=") + ledger});
    }
};

} // namespace

TEST_F(ServerCommand, CreateLedgerSaysWhatItMadeAndRefusesOnlyPartOfALedger)
{
    const QString fresh = testing_support::freshPgDatabase();
    const QString info = testing_support::sharedPgServer().conninfo(fresh);
    const QString name = fresh + QStringLiteral(" on this computer as postgres");
    auto made = program({QStringLiteral("--create-ledger")}, info);
    EXPECT_EQ(made.status, 0) << made.errors.toStdString();
    EXPECT_EQ(made.out, QStringLiteral("Made a Tallyfold ledger in database %1\n").arg(name));
    auto again = program({QStringLiteral("--create-ledger")}, info);
    EXPECT_EQ(again.status, 0) << again.errors.toStdString();
    EXPECT_EQ(again.out, QStringLiteral("The database %1 is already a Tallyfold ledger: nothing was changed\n").arg(name));

    ASSERT_TRUE(testing_support::sharedPgServer().run(QStringLiteral("drop table importkeys"), fresh).ok());
    auto part = program({QStringLiteral("--create-ledger")}, info);
    EXPECT_EQ(part.status, 1);
    EXPECT_EQ(part.out, QString());
    EXPECT_TRUE(part.errors.contains(QStringLiteral("is not a Tallyfold ledger: it is only part of one: the table "
                                                    "importkeys is missing.")))
        << part.errors.toStdString();
}

struct LostCommit {
    const char* name;
    Cut cut;
    int status;
    const char* out;
    const char* errors;
    const char* rows;
};

class LostCommitAnswer : public ServerCommand, public ::testing::WithParamInterface<LostCommit> {};

TEST_P(LostCommitAnswer, TheImportSaysWhetherItLanded)
{
    const LostCommit c = GetParam();
    const QString file = env.writeFile(QStringLiteral("march.csv"), "Date,Description,Amount\n"
                                                                     "2024-03-05,Coffee,-3.50\n"
                                                                     "2024-03-06,Salary,2500.00\n");
    CuttingProxy proxy(c.cut);
    auto run = program({QStringLiteral("--import"), file, QStringLiteral("--account"), QStringLiteral("Household")},
                       proxy.conninfo(database));
    EXPECT_TRUE(proxy.cut());
    EXPECT_EQ(run.status, c.status) << run.errors.toStdString();
    EXPECT_EQ(run.out, QString::fromUtf8(c.out));
    EXPECT_EQ(run.errors, QString::fromUtf8(c.errors));
    EXPECT_EQ(server(QStringLiteral("select count(*) from transactions")), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Server, LostCommitAnswer,
    ::testing::Values(LostCommit{"Landed", Cut::AnswerLost, 0, "2 added, 0 already in the ledger, 0 not readable\n",
                                 "", "2"},
                      LostCommit{"NotLanded", Cut::CommitLost, 1, "",
                                 "tallyfold: nothing was imported from march.csv: The change made as the server went "
                                 "away was not saved. Make it again.\n",
                                 "0"}),
    [](const auto& info) { return std::string(info.param.name); });
