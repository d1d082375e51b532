// Opening a ledger on a server: an empty database becomes one only after the owner
// says so; a database holding other tables, or a ledger of a newer format, is refused
// and left exactly as it was; a server that cannot be reached is refused; a
// login role that may only read gets a read-only ledger with one message; a password
// the server asks for is asked of the user once.
#include "data/Connection.h"
#include "data/postgres/ServerBackend.h"
#include "tests/data/postgres/ServerFixture.h"

#include <gtest/gtest.h>

using data::postgres::ServerBackend;
using platform::FileProblem;
using platform::FileRefusal;
using testing_support::OwnerLog;
using testing_support::serverRows;

namespace {

const QString kPublicTables =
    QStringLiteral("select string_agg(relname, ',' order by relname) from pg_class c join pg_namespace n on "
                   "n.oid = c.relnamespace where nspname = 'public' and relkind = 'r'");

// Makes the database a ledger, as --create-ledger does.
void makeLedger(const QString& database)
{
    OwnerLog log;
    testing_support::openServerLedger(database, log);
}

// Opens and answers the refusal's message ("" when it opened).
QString refusalOf(ServerBackend& backend, const QString& database, const QString& user = QStringLiteral("postgres"))
{
    try {
        backend.open(data::serverConnectionString(testing_support::conninfoOf(database, user)));
    } catch (const FileRefusal& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

TEST(ServerOpening, AnEmptyDatabaseBecomesALedgerOnlyWhenTheOwnerSaysSo)
{
    const QString database = testing_support::freshPgDatabase();
    OwnerLog log;
    log.createAnswer = false;
    ServerBackend backend;
    backend.setOwner(log.owner());
    const QString refusal = refusalOf(backend, database);
    EXPECT_TRUE(refusal.contains(QStringLiteral("is not a Tallyfold ledger: it is empty"))) << refusal.toStdString();
    EXPECT_EQ(log.asked, QStringList{database + QStringLiteral(" on this computer as postgres")});
    EXPECT_EQ(backend.problem(), FileProblem::NotALedger);
    EXPECT_FALSE(backend.isOpen());
    EXPECT_EQ(serverRows(kPublicTables, database), "NULL");

    log.createAnswer = true;
    EXPECT_EQ(refusalOf(backend, database), QString());
    EXPECT_TRUE(backend.isOpen());
    EXPECT_EQ(backend.problem(), FileProblem::None);
    EXPECT_EQ(backend.title(), database + QStringLiteral(" on this computer as postgres"));
    EXPECT_TRUE(backend.desktop().startsWith(QStringLiteral("postgres@"))) << backend.desktop().toStdString();
    EXPECT_EQ(serverRows(QStringLiteral("select version from ledgerformat"), database), "4");
    EXPECT_EQ(serverRows(kPublicTables, database),
              "accounts,importkeys,ledgerformat,transactions,undolog,undosteps");

    // A ledger is opened again without a question.
    backend.close();
    log.asked.clear();
    EXPECT_EQ(refusalOf(backend, database), QString());
    EXPECT_TRUE(log.asked.isEmpty());
}

TEST(ServerOpening, ARoleThatMayNotMakeTablesIsToldWhyNoLedgerWasMade)
{
    const QString database = testing_support::freshPgDatabase();
    ASSERT_EQ(testing_support::sharedPgServer().createRole(QStringLiteral("clerk"), {}, database), QString());
    OwnerLog log;
    ServerBackend backend;
    backend.setOwner(log.owner());
    const QString refusal = refusalOf(backend, database, QStringLiteral("clerk"));
    EXPECT_TRUE(refusal.contains(QStringLiteral("the server would not let a ledger be made in it (permission denied")))
        << refusal.toStdString();
    EXPECT_EQ(log.asked.size(), 1);
    EXPECT_EQ(backend.problem(), FileProblem::NotALedger);
    EXPECT_EQ(serverRows(kPublicTables, database), "NULL");
}

TEST(ServerOpening, ADatabaseHoldingOtherTablesIsRefusedUntouched)
{
    const QString database = testing_support::freshPgDatabase();
    serverRows(QStringLiteral("create table invoices (n int); insert into invoices values (7)"), database);
    OwnerLog log;
    ServerBackend backend;
    backend.setOwner(log.owner());
    const QString refusal = refusalOf(backend, database);
    EXPECT_TRUE(refusal.contains(QStringLiteral("it holds other tables, but no ledger"))) << refusal.toStdString();
    EXPECT_TRUE(log.asked.isEmpty());
    EXPECT_EQ(backend.problem(), FileProblem::NotALedger);
    EXPECT_EQ(serverRows(kPublicTables, database), "invoices");
    EXPECT_EQ(serverRows(QStringLiteral("select n from invoices"), database), "7");
}

TEST(ServerOpening, ALedgerOfANewerFormatIsRefusedUntouched)
{
    const QString database = testing_support::freshPgDatabase();
    makeLedger(database);
    serverRows(QStringLiteral("update ledgerformat set version = 5; insert into accounts (accountname) values ('Rent')"),
               database);
    OwnerLog log;
    ServerBackend backend;
    backend.setOwner(log.owner());
    const QString refusal = refusalOf(backend, database);
    EXPECT_TRUE(refusal.contains(QStringLiteral("Its stored format is 5; this version reads formats up to 4")))
        << refusal.toStdString();
    EXPECT_EQ(backend.problem(), FileProblem::NewerVersion);
    EXPECT_EQ(serverRows(QStringLiteral("select version from ledgerformat"), database), "5");
    EXPECT_EQ(serverRows(QStringLiteral("select accountid, accountname from accounts"), database), "1|Rent");
}

TEST(ServerOpening, AServerThatCannotBeReachedIsRefused)
{
    OwnerLog log;
    ServerBackend backend;
    backend.setOwner(log.owner());
    try {
        backend.open(data::serverConnectionString(QStringLiteral("host=/nonexistent/socket dbname=books")));
        ADD_FAILURE() << "opened";
    } catch (const FileRefusal& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("The ledger books on this computer could not be opened")))
            << e.what();
    }
    EXPECT_EQ(backend.problem(), FileProblem::Away);
    EXPECT_FALSE(backend.isOpen());

    // A conninfo that names no database is shown as it is, but without its password.
    try {
        backend.open(data::serverConnectionString(QStringLiteral("host=/nonexistent/socket password=hush")));
        ADD_FAILURE() << "opened";
    } catch (const FileRefusal& e) {
        EXPECT_FALSE(QString::fromUtf8(e.what()).contains(QStringLiteral("hush"))) << e.what();
    }
}

TEST(ServerOpening, APasswordTheServerAsksForIsAskedOnceAndKeptForEveryConnection)
{
    const QString database = testing_support::freshPgDatabase();
    makeLedger(database);
    auto& server = testing_support::sharedPgServer();
    ASSERT_EQ(server.enableTls(), QString());
    ASSERT_EQ(server.createRole(QStringLiteral("keeper"), QStringLiteral("s3cret'\\x"), {}), QString());
    serverRows(QStringLiteral("grant all on all tables in schema public to keeper; "
                              "grant all on all sequences in schema public to keeper"),
               database);
    OwnerLog log;
    QStringList asked;
    platform::ConnectionOwner owner = log.owner();
    owner.password = [&](const QString& ledger) -> std::optional<QString> {
        asked << ledger;
        return QStringLiteral("s3cret'\\x");
    };
    ServerBackend backend;
    backend.setOwner(owner);
    backend.open(data::serverConnectionString(server.tlsConninfo(database, QStringLiteral("keeper"))));
    EXPECT_EQ(asked, QStringList{database + QStringLiteral(" on localhost")});
    EXPECT_EQ(backend.problem(), FileProblem::None);
    // The readers connect with it too.
    backend.execute(QStringLiteral("insert into Accounts (AccountName) values ('Rent')"));
    auto rows = backend.query(QStringLiteral("select count(*) as n from Accounts"));
    EXPECT_EQ(rows->value(0), QVariant(qlonglong(1)));
    EXPECT_EQ(asked.size(), 1);
}

TEST(ServerOpening, ARoleThatMayOnlyReadGetsAReadOnlyLedgerWithOneMessage)
{
    const QString database = testing_support::freshPgDatabase();
    makeLedger(database);
    serverRows(QStringLiteral("insert into accounts (accountname) values ('Rent')"), database);
    ASSERT_EQ(testing_support::sharedPgServer().createRole(QStringLiteral("reader"), {}, database), QString());

    OwnerLog log;
    ServerBackend backend;
    backend.setOwner(log.owner());
    EXPECT_EQ(refusalOf(backend, database, QStringLiteral("reader")), QString());
    EXPECT_EQ(backend.problem(), FileProblem::ReadOnly);
    ASSERT_EQ(log.told.size(), 1);
    EXPECT_TRUE(log.told[0].contains(QStringLiteral("can only be read")));

    auto rows = backend.query(QStringLiteral("select AccountName from Accounts"));
    ASSERT_FALSE(rows->eof());
    EXPECT_EQ(rows->value(rows->column(u"accountname")), QVariant(QStringLiteral("Rent")));
    for (int i = 0; i < 2; ++i) {
        try {
            backend.execute(QStringLiteral("insert into Accounts (AccountName) values ('Food')"));
            ADD_FAILURE() << "a write went through";
        } catch (const FileRefusal& e) {
            EXPECT_FALSE(e.quiet());
            EXPECT_EQ(QString::fromUtf8(e.what()), log.told[0]);
        }
    }
    EXPECT_EQ(log.told.size(), 1);
    EXPECT_EQ(serverRows(QStringLiteral("select count(*) from accounts"), database), "1");
}

// A ledger some of whose tables are gone (half made, half dropped) is refused, naming
// what is missing, and left as it is: never made again over the rest, never taken for a
// server away.
class HalfMadeLedger : public ::testing::TestWithParam<const char*> {};

TEST_P(HalfMadeLedger, IsRefusedNamingWhatIsMissingAndLeftAsItIs)
{
    const QString database = testing_support::freshPgDatabase();
    makeLedger(database);
    const QString dropped = QString::fromUtf8(GetParam());
    serverRows(QStringLiteral("drop table %1 cascade").arg(dropped), database);
    const std::string before = serverRows(kPublicTables, database);
    OwnerLog log;
    ServerBackend backend;
    backend.setOwner(log.owner());
    const QString refusal = refusalOf(backend, database);
    EXPECT_TRUE(refusal.contains(QStringLiteral("is not a Tallyfold ledger: it is only part of one: the table %1 is "
                                                "missing.").arg(dropped)))
        << refusal.toStdString();
    EXPECT_FALSE(refusal.contains(QStringLiteral("cannot be reached")));
    EXPECT_EQ(backend.problem(), FileProblem::NotALedger);
    EXPECT_TRUE(log.asked.isEmpty());
    EXPECT_EQ(serverRows(kPublicTables, database), before);
}

INSTANTIATE_TEST_SUITE_P(Server, HalfMadeLedger,
                         ::testing::Values("accounts", "transactions", "importkeys", "undolog", "undosteps"));

} // namespace
