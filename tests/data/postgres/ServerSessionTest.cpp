// Several desktops on one server ledger: the report's table is each one's own, every
// committed transaction is told once to the others (not to its writer), numbering rows
// holds the table for the caller, a large list is read a batch at a time, a text the
// server cannot hold is refused whole, and a connection the server dropped refuses
// every write with one message until the program has connected again by itself.
#include "data/postgres/PgSession.h"
#include "data/postgres/ServerBackend.h"
#include "data/postgres/ServerSql.h"
#include "tests/data/postgres/ServerFixture.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <poll.h>

using data::postgres::ServerBackend;
using platform::FileProblem;
using platform::FileRefusal;
using testing_support::OwnerLog;
using testing_support::serverRows;

namespace {

class ServerSession : public ::testing::Test {
protected:
    void SetUp() override { database = testing_support::freshPgDatabase(); }

    std::unique_ptr<ServerBackend> desktop(OwnerLog& log)
    {
        return testing_support::openServerLedger(database, log);
    }

    // A plain libpq connection of the test's own.
    data::postgres::PgConnection rawConnection()
    {
        return data::postgres::connectTo(testing_support::conninfoOf(database));
    }

    std::vector<QVariant> column(ServerBackend& backend, const QString& sql)
    {
        std::vector<QVariant> values;
        for (auto rows = backend.query(sql); !rows->eof(); rows->next())
            values.push_back(rows->value(0));
        return values;
    }

    QString database;
};

// The payloads of the notifications `listener` has on the ledger's channel before the
// test's own on a channel no desktop hears, which it sends now: what was committed
// before it has come then.
QStringList notificationsSoFar(pg_conn* listener)
{
    PQclear(PQexec(listener, "listen tallyfold_test; notify tallyfold_test, 'end'"));
    QStringList payloads;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        PQconsumeInput(listener);
        while (PGnotify* notice = PQnotifies(listener)) {
            const bool end = QByteArrayView(notice->relname) == "tallyfold_test";
            payloads << QString::fromUtf8(notice->extra);
            PQfreemem(notice);
            if (end) {
                payloads.removeLast();
                return payloads;
            }
        }
        pollfd wait = {PQsocket(listener), POLLIN, 0};
        ::poll(&wait, 1, int(deadline.remainingTime()));
    }
    ADD_FAILURE() << "the test's own notification never came";
    return payloads;
}

TEST_F(ServerSession, TheReportTableIsEachDesktopsOwn)
{
    OwnerLog logA, logB;
    auto a = desktop(logA);
    auto b = desktop(logB);
    a->begin();
    a->execute(QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) "
                              "values (CDate('03/05/2024'),1,0,'Rent','mine')"));
    a->commit();
    b->execute(QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) "
                              "values (CDate('03/06/2024'),2,0,'Food','theirs')"));
    EXPECT_EQ(column(*a, QStringLiteral("select Description from tblReport")),
              std::vector<QVariant>{QStringLiteral("mine")});
    EXPECT_EQ(column(*b, QStringLiteral("select * from tblReport")), std::vector<QVariant>{QDate(2024, 3, 6)});
}

TEST_F(ServerSession, EachCommittedTransactionIsToldOnceToTheOtherDesktops)
{
    OwnerLog logA, logB;
    auto a = desktop(logA);
    auto b = desktop(logB);
    const auto listener = rawConnection();
    PQclear(PQexec(listener.get(), "listen tallyfold_ledger"));

    // A thousand statements and a hundred thousand rows in one transaction, then one
    // more transaction: two notifications.
    b->begin();
    for (int i = 0; i < 1000; ++i)
        b->execute(QStringLiteral("insert into Accounts (AccountName) values ('a%1')").arg(i));
    b->execute(QStringLiteral("insert into Transactions (AccountID, DepositAmount) "
                              "select 1, g from generate_series(1, 100000) g"));
    b->commit();
    b->execute(QStringLiteral("delete from Accounts where AccountName = 'a0'"));
    const QStringList payloads = notificationsSoFar(listener.get());
    ASSERT_EQ(payloads.size(), 2);
    EXPECT_EQ(payloads[0], payloads[1]);   // the writer's process

    EXPECT_TRUE(QTest::qWaitFor([&] { return logA.othersChanged > 0; }, 5000));
    EXPECT_EQ(logB.othersChanged, 0);   // its own

    // A desktop's own commit, once its listener has surely had it, tells it nothing (one
    // that opens now, so that none of the commits above can still be on their way to it).
    OwnerLog logC;
    auto c = desktop(logC);
    c->execute(QStringLiteral("delete from Accounts where AccountName = 'a1'"));
    ASSERT_EQ(notificationsSoFar(listener.get()).size(), 1);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(logC.othersChanged, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return logB.othersChanged > 0; }, 5000));
}

TEST_F(ServerSession, NumberingRowsHoldsTheTableUntilTheCallerCommits)
{
    OwnerLog log;
    auto a = desktop(log);
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    a->begin();
    const qint64 first = a->nextKey(QStringLiteral("Transactions"));
    ASSERT_EQ(first, 1);

    // Another desktop's row waits for the caller's numbered rows, then comes after them.
    const auto other = rawConnection();
    ASSERT_EQ(PQsendQuery(other.get(), "insert into transactions (accountid) values (1) returning transactionnumber"), 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return serverRows(QStringLiteral("select count(*) from pg_stat_activity where wait_event_type = 'Lock' "
                                             "and datname = current_database()"),
                              database)
                == "1";
        },
        5000));
    a->execute(QStringLiteral("insert into Transactions (TransactionNumber, AccountID) values (1, 1), (2, 1)"));
    a->commit();
    data::postgres::Result inserted(PQgetResult(other.get()));
    ASSERT_EQ(PQresultStatus(inserted.get()), PGRES_TUPLES_OK) << PQresultErrorMessage(inserted.get());
    EXPECT_EQ(inserted.text(0, 0), "3");
    while (PGresult* rest = PQgetResult(other.get()))
        PQclear(rest);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

long residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * 4096 / (1024 * 1024);
}

TEST_F(ServerSession, ALargeListIsReadABatchAtATime)
{
    OwnerLog log;
    auto a = desktop(log);
    serverRows(QStringLiteral("insert into accounts (accountname) values ('Rent'); "
                              "insert into transactions (transactiondate, transactiondescription, accountid, "
                              "withdrawalamount, depositamount, taxable) select timestamp '2024-01-01' + g * "
                              "interval '1 minute', 'a description of row number ' || g, 1, g / 100.0, 0, g % 2 = 0 "
                              "from generate_series(1, 400000) g"),
               database);
    const long before = residentMb();
    long peak = before;
    qlonglong rows = 0;
    double sum = 0;
    for (auto read = a->query(QStringLiteral("select * from Transactions a inner join Accounts b on "
                                             "b.AccountID = a.AccountID order by TransactionNumber"));
         !read->eof(); read->next()) {
        ++rows;
        sum += read->value(read->column(u"WithdrawalAmount")).toDouble();
        if (rows % 10000 == 0)
            peak = std::max(peak, residentMb());
    }
    EXPECT_EQ(rows, 400000);
    EXPECT_NEAR(sum, 400000.0 * 400001.0 / 2 / 100, 1e-3);
    // The whole list as values would take well over 150 MB. (The address sanitizer
    // holds freed memory back for a while: there only the rows are checked.)
    if (!kSanitized) {
        EXPECT_LT(peak - before, 60) << "resident before " << before << " MB, at most " << peak << " MB";
    }
}

TEST_F(ServerSession, ATextTheServerCannotHoldIsRefusedWhole)
{
    OwnerLog log;
    auto a = desktop(log);
    const QString nul = QStringLiteral("before") + QChar(0) + QStringLiteral("after");
    try {
        a->execute(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(nul));
        ADD_FAILURE() << "a text with NUL was written";
    } catch (const FileRefusal&) {
        ADD_FAILURE() << "refused as though the ledger could not be written";
    } catch (const platform::DbError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), data::postgres::nulRefusalMessage());
    }
    EXPECT_EQ(serverRows(QStringLiteral("select count(*) from accounts"), database), "0");
    EXPECT_EQ(a->problem(), FileProblem::None);
}

TEST_F(ServerSession, AConnectionTheServerDroppedRefusesEveryWriteWithOneMessage)
{
    OwnerLog log;
    auto a = desktop(log);
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    data::postgres::Session& session = *a->session();   // as the undo history holds it
    const int pid = dynamic_cast<data::postgres::PgSession&>(session).backendPid();
    serverRows(QStringLiteral("select pg_terminate_backend(%1)").arg(pid), database);

    QStringList refusals;
    for (int i = 0; i < 2; ++i) {
        try {
            a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
        } catch (const FileRefusal& e) {
            EXPECT_FALSE(e.quiet());
            refusals << QString::fromUtf8(e.what());
        }
    }
    ASSERT_EQ(refusals.size(), 2);
    EXPECT_EQ(refusals[0], refusals[1]);
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("cannot be reached"))) << refusals[0].toStdString();
    EXPECT_EQ(a->problem(), FileProblem::Away);
    EXPECT_EQ(log.changed, 1);
    EXPECT_TRUE(log.told.isEmpty());   // the refused write was the one message
    EXPECT_EQ(serverRows(QStringLiteral("select accountname from accounts"), database), "Rent");

    // It connects again by itself, says so, and has the list read again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->problem() == FileProblem::None; }, 10000));
    ASSERT_EQ(log.told.size(), 1);
    EXPECT_TRUE(log.told[0].contains(QStringLiteral("can be reached again")));
    EXPECT_EQ(log.othersChanged, 1);
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
    EXPECT_EQ(session.exec("select count(*) from accounts").text(0, 0), "2");
    EXPECT_EQ(serverRows(QStringLiteral("select string_agg(accountname, ',' order by accountid) from accounts"),
                         database),
              "Rent,Food");
}

TEST_F(ServerSession, AReadCutShortByALostConnectionIsToldOnce)
{
    OwnerLog log;
    auto a = desktop(log);
    serverRows(QStringLiteral("insert into transactions (accountid) select 1 from generate_series(1, 100000)"), database);
    auto rows = a->query(QStringLiteral("select TransactionNumber from Transactions"));
    serverRows(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where datname = "
                              "current_database() and pid <> pg_backend_pid()"),
               database);
    qlonglong read = 0;
    try {
        for (; !rows->eof(); rows->next())
            ++read;
        ADD_FAILURE() << "every row read from a connection the server dropped";
    } catch (const FileRefusal& e) {
        EXPECT_TRUE(e.quiet());
    }
    EXPECT_LT(read, 100000);
    EXPECT_EQ(a->problem(), FileProblem::Away);
    ASSERT_EQ(log.told.size(), 1);
    EXPECT_TRUE(log.told[0].contains(QStringLiteral("cannot be reached")));
}

TEST_F(ServerSession, AChangeWhoseCommitTheServerDroppedIsToldWhetherItLanded)
{
    // A commit that ends its own connection: the server goes away in the middle of it.
    serverRows(QStringLiteral("create function doom() returns trigger language plpgsql as $$ begin "
                              "if new.accountname = 'doomed' then perform pg_terminate_backend(pg_backend_pid()); "
                              "end if; return null; end $$"),
               database);
    OwnerLog log;
    auto a = desktop(log);
    serverRows(QStringLiteral("create constraint trigger doom after insert on accounts deferrable initially deferred "
                              "for each row execute function doom()"),
               database);
    EXPECT_THROW(a->execute(QStringLiteral("insert into Accounts (AccountName) values ('doomed')")), FileRefusal);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->problem() == FileProblem::None; }, 10000));
    ASSERT_EQ(log.told.size(), 1);
    EXPECT_TRUE(log.told[0].endsWith(QStringLiteral("The change made as the server went away was not saved. Make it "
                                                    "again.")))
        << log.told[0].toStdString();
    EXPECT_EQ(serverRows(QStringLiteral("select count(*) from accounts"), database), "0");
}

TEST_F(ServerSession, AServerThatStopsIsToldOnceAndTheLedgerComesBackWhenItDoes)
{
    OwnerLog log;
    auto a = desktop(log);
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    auto& server = testing_support::sharedPgServer();
    ASSERT_EQ(server.pause(), QString());
    // The listener hears the server go, without a statement sent.
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->problem() == FileProblem::Away; }, 10000));
    ASSERT_EQ(log.told.size(), 1);
    EXPECT_TRUE(log.told[0].contains(QStringLiteral("cannot be reached")));
    EXPECT_THROW(a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')")), FileRefusal);
    try {
        a->query(QStringLiteral("select * from Accounts"));
        ADD_FAILURE() << "read from a server that is away";
    } catch (const FileRefusal& e) {
        EXPECT_TRUE(e.quiet());   // the user was told already
    }
    EXPECT_EQ(log.told.size(), 1);

    ASSERT_EQ(server.resume(), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->problem() == FileProblem::None; }, 15000));
    EXPECT_EQ(log.told.size(), 2);
    EXPECT_GE(log.othersChanged, 1);
    auto rows = a->query(QStringLiteral("select AccountName from Accounts"));
    ASSERT_FALSE(rows->eof());
    EXPECT_EQ(rows->value(0), QVariant(QStringLiteral("Rent")));
}

} // namespace
