// The throw-away PostgreSQL server the back end's tests and the benchmark run on.
#include "tests/support/PgEnvironment.h"
#include "tests/support/PgFolders.h"
#include "tests/support/PgProgram.h"
#include "tests/support/PgServer.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <libpq-fe.h>
#include <gtest/gtest.h>

using testing_support::PgServer;

namespace {

// A server start may wait for initdb on a loaded machine.
constexpr int kStartWaitMs = 180000;

// One libpq connection, closed when it goes.
class Connection {
public:
    explicit Connection(const QString& conninfo) : m_connection(PQconnectdb(conninfo.toUtf8().constData())) {}
    ~Connection() { PQfinish(m_connection); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return PQstatus(m_connection) == CONNECTION_OK; }
    QString error() const { return QString::fromUtf8(PQerrorMessage(m_connection)).trimmed(); }
    bool usesTls() const { return PQsslInUse(m_connection) == 1; }
    // The first value the last statement gave, or "error: " and why it failed.
    QString value(const QString& sql)
    {
        PGresult* result = PQexec(m_connection, sql.toUtf8().constData());
        const ExecStatusType status = PQresultStatus(result);
        QString value;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            value = QStringLiteral("error: ") + QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
        else if (PQntuples(result) > 0)
            value = QString::fromUtf8(PQgetvalue(result, 0, 0));
        PQclear(result);
        return value;
    }

private:
    PGconn* m_connection;
};

qint64 postmasterPid(const QString& dataFolder)
{
    QFile file(dataFolder + QStringLiteral("/postmaster.pid"));
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toLongLong() : 0;
}

// Another test binary holding a server in `base` (support/PgServerHolder.cpp).
class Holder {
public:
    explicit Holder(const QString& base)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(TALLYFOLD_PGSERVER_HOLDER), {base});
    }
    ~Holder() { finish(); }
    // "started <socket folder>" or "failed: <why>".
    QString answer()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(kStartWaitMs))
                return QStringLiteral("no answer");
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    // Lets it stop its server and end as a test binary does; gives its exit code.
    int finish()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(kStartWaitMs))
            crash();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void crash()
    {
        m_process.kill();
        m_process.waitForFinished(kStartWaitMs);
    }

private:
    QProcess m_process;
};

// A base folder of the test's own, with no template yet, on the file system the shared
// one is on. Whatever server a failing test left in it is stopped before it goes.
class FreshBase {
public:
    FreshBase()
        : m_dir(QFileInfo(testing_support::pg::defaultBaseFolder()).path() +
                QStringLiteral("/tallyfold-pgtest-XXXXXX"))
    {
    }
    ~FreshBase() { testing_support::pg::removeAbandoned(m_dir.path()); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

QStringList entries(const QString& base, const QString& pattern)
{
    return QDir(base).entryList({pattern}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

TEST(PgServer, servesDatabasesOverItsOwnSocketAndLeavesNothingBehind)
{
    QString folder;
    qint64 postmaster = 0;
    {
        PgServer server;
        ASSERT_EQ(server.start(), QString());
        folder = server.socketDir();
        EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/.s.PGSQL.%1").arg(server.port())));
        // A name that needs quoting, as a household might choose one.
        ASSERT_EQ(server.createDatabase(QStringLiteral("Smith's \"books\"")), QString());
        Connection client(server.conninfo(QStringLiteral("Smith's \"books\"")));
        ASSERT_TRUE(client.ok()) << client.error().toStdString();
        EXPECT_EQ(client.value(QStringLiteral("create table t (x text); insert into t values ('a|b'), (null)")),
                  QString());
        EXPECT_EQ(server.run(QStringLiteral("select x from t order by x"), QStringLiteral("Smith's \"books\"")).rows,
                  QStringLiteral("a|b; NULL"));
        EXPECT_TRUE(server.run(QStringLiteral("select nosuchcolumn from t"), QStringLiteral("Smith's \"books\""))
                        .error.contains(QStringLiteral("nosuchcolumn")));

        // A second server at the same time, as another test binary would have.
        PgServer other;
        ASSERT_EQ(other.start(), QString());
        EXPECT_NE(other.port(), server.port());
        EXPECT_NE(other.socketDir(), folder);
        EXPECT_EQ(other.run(QStringLiteral("select count(*) from pg_database where datname like 'Smith%'")).rows,
                  QStringLiteral("0"));

        ASSERT_EQ(server.dropDatabase(QStringLiteral("Smith's \"books\"")), QString());
        EXPECT_FALSE(Connection(server.conninfo(QStringLiteral("Smith's \"books\""))).ok());
        postmaster = postmasterPid(server.dataFolder());
        ASSERT_TRUE(testing_support::pg::processRunning(postmaster));
    }
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(testing_support::pg::processRunning(postmaster));
}

TEST(PgServer, keepsItsDataAndPortAcrossRestartsAndPauses)
{
    PgServer server;
    ASSERT_EQ(server.start(), QString());
    ASSERT_EQ(server.createDatabase(QStringLiteral("ledger")), QString());
    const QString conninfo = server.conninfo(QStringLiteral("ledger"));
    const int port = server.port();
    Connection before(conninfo);
    ASSERT_EQ(before.value(QStringLiteral("create table t (x int); insert into t values (7)")), QString());

    ASSERT_EQ(server.restart(), QString());
    EXPECT_EQ(server.port(), port);
    EXPECT_TRUE(before.value(QStringLiteral("select 1")).startsWith(QLatin1String("error: ")));
    Connection after(conninfo);
    EXPECT_EQ(after.value(QStringLiteral("select x from t")), QStringLiteral("7"));

    // A committed row survives a restart as abrupt as a crash.
    EXPECT_EQ(after.value(QStringLiteral("insert into t values (8)")), QString());
    ASSERT_EQ(server.restart(PgServer::ShutdownMode::Immediate), QString());
    EXPECT_EQ(Connection(conninfo).value(QStringLiteral("select sum(x) from t")), QStringLiteral("15"));

    ASSERT_EQ(server.pause(), QString());
    EXPECT_FALSE(server.running());
    EXPECT_FALSE(Connection(conninfo).ok());
    ASSERT_EQ(server.resume(), QString());
    EXPECT_EQ(Connection(conninfo).value(QStringLiteral("select count(*) from t")), QStringLiteral("2"));
}

TEST(PgServer, twoBinariesStartingAtOnceOnAFreshMachineMakeOneTemplate)
{
    FreshBase base;
    Holder first(base.path());
    Holder second(base.path());
    const QString one = first.answer();
    const QString two = second.answer();
    ASSERT_TRUE(one.startsWith(QLatin1String("started "))) << one.toStdString();
    ASSERT_TRUE(two.startsWith(QLatin1String("started "))) << two.toStdString();
    EXPECT_NE(one, two);
    EXPECT_EQ(entries(base.path(), QStringLiteral("template-*")).size(), 1);
    EXPECT_EQ(entries(base.path(), QStringLiteral("server.*")).size(), 2);
    EXPECT_EQ(entries(base.path(), QStringLiteral("building.*")), QStringList());

    EXPECT_EQ(first.finish(), 0);
    EXPECT_EQ(second.finish(), 0);
    EXPECT_EQ(entries(base.path(), QStringLiteral("*")), entries(base.path(), QStringLiteral("template-*")));
}

TEST(PgServer, theNextStartStopsAndRemovesTheServerOfACrashedBinary)
{
    FreshBase base;
    Holder crashing(base.path());
    const QString answer = crashing.answer();
    ASSERT_TRUE(answer.startsWith(QLatin1String("started "))) << answer.toStdString();
    const QString folder = answer.mid(8);
    const qint64 postmaster = postmasterPid(folder + QStringLiteral("/data"));
    crashing.crash();
    ASSERT_TRUE(testing_support::pg::processRunning(postmaster));

    PgServer next(base.path());
    ASSERT_EQ(next.start(), QString());
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(testing_support::pg::processRunning(postmaster));
    EXPECT_EQ(entries(base.path(), QStringLiteral("server.*")), QStringList{QFileInfo(next.socketDir()).fileName()});
}

TEST(PgServer, tlsClientsCheckTheServerAgainstItsAuthority)
{
    PgServer server;
    ASSERT_EQ(server.enableTls(), QString());
    const QString conninfo = server.tlsConninfo(QStringLiteral("postgres"));
    Connection tls(conninfo);
    ASSERT_TRUE(tls.ok()) << tls.error().toStdString();
    EXPECT_TRUE(tls.usesTls());
    EXPECT_EQ(tls.value(QStringLiteral("select ssl from pg_stat_ssl where pid = pg_backend_pid()")),
              QStringLiteral("t"));

    // A role of its own logs in with its password alone.
    ASSERT_EQ(server.createRole(QStringLiteral("bookkeeper"), QStringLiteral("it's secret")), QString());
    EXPECT_TRUE(Connection(server.tlsConninfo(QStringLiteral("postgres"), QStringLiteral("bookkeeper"),
                                              QStringLiteral("it's secret")))
                    .ok());
    Connection wrongPassword(server.tlsConninfo(QStringLiteral("postgres"), QStringLiteral("bookkeeper"),
                                                QStringLiteral("guess")));
    EXPECT_TRUE(wrongPassword.error().contains(QStringLiteral("password authentication failed"))) << wrongPassword.error().toStdString();

    // A server whose certificate another authority signed is not believed.
    QTemporaryDir elsewhere;
    ASSERT_EQ(testing_support::makeCertificateAuthority(elsewhere.path()), QString());
    Connection impostor(QString(conninfo).replace(server.caCertificate(), elsewhere.path() + QStringLiteral("/ca.crt")));
    EXPECT_FALSE(impostor.ok());
    EXPECT_TRUE(impostor.error().contains(QStringLiteral("certificate verify failed"))) << impostor.error().toStdString();

    // Over TCP only TLS is let in; the socket still works.
    Connection plain(QString(conninfo).replace(QStringLiteral("verify-full"), QStringLiteral("disable")));
    EXPECT_TRUE(plain.error().contains(QStringLiteral("no pg_hba.conf entry"))) << plain.error().toStdString();
    EXPECT_TRUE(Connection(server.conninfo(QStringLiteral("postgres"))).ok());
}

TEST(PgServer, aReadOnlyRoleReadsEveryTableButChangesNothing)
{
    PgServer server;
    ASSERT_EQ(server.start(), QString());
    const QString db = QStringLiteral("ledger");
    ASSERT_EQ(server.createDatabase(db), QString());
    ASSERT_TRUE(server.run(QStringLiteral("create table early (x int); insert into early values (1)"), db).ok());
    ASSERT_EQ(server.createRole(QStringLiteral("auditor"), QString(), db), QString());
    ASSERT_TRUE(server.run(QStringLiteral("create table later (x serial, y int); insert into later (y) values (2)"), db)
                    .ok());

    Connection auditor(server.conninfo(db, QStringLiteral("auditor")));
    ASSERT_TRUE(auditor.ok()) << auditor.error().toStdString();
    EXPECT_EQ(auditor.value(QStringLiteral("select x from early")), QStringLiteral("1"));
    EXPECT_EQ(auditor.value(QStringLiteral("select y from later")), QStringLiteral("2"));
    for (const char* change : {"insert into early values (3)", "update later set y = 3", "delete from early",
                               "create table mine (x int)", "select nextval('later_x_seq')"})
        EXPECT_TRUE(auditor.value(QString::fromLatin1(change)).contains(QStringLiteral("permission denied"))) << change;
}

TEST(PgServer, theSharedServerStartsOnceAndGivesEachAskerAnEmptyDatabase)
{
    PgServer& server = testing_support::sharedPgServer();
    EXPECT_EQ(&testing_support::sharedPgServer(), &server);
    EXPECT_TRUE(server.running());
    const QString first = testing_support::freshPgDatabase();
    const QString second = testing_support::freshPgDatabase();
    EXPECT_NE(first, second);
    for (const QString& db : {first, second})
        EXPECT_EQ(server.run(QStringLiteral("select count(*) from pg_tables where schemaname = 'public'"), db).rows,
                  QStringLiteral("0"));
}
