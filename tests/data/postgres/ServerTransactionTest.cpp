// A transaction on a server ledger never lies about itself: a connection the desktop
// lost beside the writer (the listener) leaves the writer and its transaction alone, a
// writer lost in the middle of one refuses every statement until the caller rolls back,
// and a commit the server refuses is reported as the failure it is, its undo step gone
// with it.
#include "data/postgres/PgSession.h"
#include "data/postgres/ServerBackend.h"
#include "data/LedgerMessages.h"
#include "tests/data/postgres/ServerFixture.h"

#include <QTest>
#include <gtest/gtest.h>

using data::postgres::ServerBackend;
using platform::FileProblem;
using platform::FileRefusal;
using testing_support::OwnerLog;
using testing_support::serverRows;

namespace {

class ServerTransaction : public ::testing::Test {
protected:
    void SetUp() override { database = testing_support::freshPgDatabase(); }

    std::unique_ptr<ServerBackend> desktop(OwnerLog& log) { return testing_support::openServerLedger(database, log); }

    static int writerPid(ServerBackend& backend)
    {
        return static_cast<data::postgres::PgSession*>(backend.session())->backendPid();
    }

    std::string accounts() const
    {
        return serverRows(QStringLiteral("select coalesce(string_agg(accountname, ',' order by accountid), '') "
                                         "from accounts"),
                          database);
    }

    // Ends the connection of the desktop's process `pid` from outside.
    void terminate(const QString& pidOrQuery) const
    {
        serverRows(QStringLiteral("select pg_terminate_backend(%1)").arg(pidOrQuery), database);
    }

    QString database;
};

TEST_F(ServerTransaction, ALostListenerLeavesTheWriterAndItsOpenTransaction)
{
    OwnerLog log;
    auto a = desktop(log);
    const int writer = writerPid(*a);
    a->begin();
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    terminate(QStringLiteral("(select pid from pg_stat_activity where datname = current_database() "
                             "and query = 'listen tallyfold_ledger')"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.told.size() == 2; }, 10000)) << log.told.join(u'|').toStdString();
    EXPECT_TRUE(log.told[0].contains(QStringLiteral("cannot be reached")));
    EXPECT_TRUE(log.told[1].contains(QStringLiteral("can be reached again")));
    EXPECT_EQ(a->problem(), FileProblem::None);

    // The same writer, still inside the caller's transaction: nothing is committed a
    // statement at a time behind the caller's back.
    EXPECT_EQ(writerPid(*a), writer);
    EXPECT_TRUE(a->inTransaction());
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
    EXPECT_EQ(accounts(), "");
    a->commit();
    EXPECT_EQ(accounts(), "Rent,Food");

    // And the new listener hears the others.
    OwnerLog logB;
    auto b = desktop(logB);
    b->execute(QStringLiteral("insert into Accounts (AccountName) values ('Car')"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.othersChanged >= 2; }, 5000));
}

TEST_F(ServerTransaction, AWriterLostInATransactionRefusesEveryStatementUntilRolledBack)
{
    OwnerLog log;
    auto a = desktop(log);
    a->begin();
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    terminate(QString::number(writerPid(*a)));
    EXPECT_THROW(a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')")), FileRefusal);
    ASSERT_TRUE(QTest::qWaitFor([&] { return a->problem() == FileProblem::None; }, 10000));

    // Back, the caller's transaction is known lost: no statement of it runs, none
    // commits on its own, and its commit is refused.
    EXPECT_TRUE(a->inTransaction());
    const QString lost = data::lostTransactionMessage();
    for (const auto& step : std::vector<std::function<void()>>{
             [&] { a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Car')")); },
             [&] { a->nextKey(QStringLiteral("Accounts")); },
             [&] { a->query(QStringLiteral("select * from tblReport")); },
             [&] { a->commit(); },
         }) {
        try {
            step();
            ADD_FAILURE() << "a statement of a lost transaction ran";
        } catch (const FileRefusal& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), lost);
        }
    }
    EXPECT_EQ(accounts(), "");
    a->rollback();
    EXPECT_FALSE(a->inTransaction());
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Car')"));
    EXPECT_EQ(accounts(), "Car");
}

// A check the server makes only at the commit: a deferred constraint trigger.
struct RefusedAtCommit {
    const char* name;
    bool callersTransaction;
};

class CommitRefused : public ServerTransaction, public ::testing::WithParamInterface<RefusedAtCommit> {};

TEST_P(CommitRefused, IsAFailureAndLeavesNoStep)
{
    serverRows(QStringLiteral("create function refuse() returns trigger language plpgsql as $$ begin "
                              "if new.accountname = 'refused' then raise exception 'no such account here'; "
                              "end if; return null; end $$"),
               database);
    OwnerLog log;
    auto a = desktop(log);
    serverRows(QStringLiteral("create constraint trigger refuse after insert on accounts deferrable initially "
                              "deferred for each row execute function refuse()"),
               database);
    a->history()->begin(QStringLiteral("Add Account"));
    const auto write = [&] {
        if (GetParam().callersTransaction) {
            a->begin();
            a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
            a->execute(QStringLiteral("insert into Accounts (AccountName) values ('refused')"));
            a->commit();
        } else {
            a->execute(QStringLiteral("insert into Accounts (AccountName) values ('refused')"));
        }
    };
    try {
        write();
        ADD_FAILURE() << "a commit the server refused was reported as done";
    } catch (const FileRefusal&) {
        ADD_FAILURE() << "a refused commit was taken for a lost server";
    } catch (const platform::DbError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("no such account here"))) << e.what();
    }
    a->history()->end();
    EXPECT_FALSE(a->inTransaction());
    EXPECT_EQ(accounts(), "");
    EXPECT_FALSE(a->history()->nextUndo());
    EXPECT_EQ(serverRows(QStringLiteral("select count(*) from undosteps"), database), "0");
    // The writer goes on as before.
    a->execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
    EXPECT_EQ(accounts(), "Food");
    EXPECT_TRUE(log.told.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Server, CommitRefused,
                         ::testing::Values(RefusedAtCommit{"AStatementOnItsOwn", false},
                                           RefusedAtCommit{"TheCallersTransaction", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
