#include "tests/data/postgres/ServerFixture.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace testing_support {

QString conninfoOf(const QString& database, const QString& user)
{
    return sharedPgServer().conninfo(database, user);
}

platform::ConnectionOwner OwnerLog::owner()
{
    platform::ConnectionOwner owner;
    owner.tell = [this](const QString& message) { told << message; };
    owner.changed = [this] { ++changed; };
    owner.othersChanged = [this] { ++othersChanged; };
    owner.createLedger = [this](const QString& ledger) {
        asked << ledger;
        return createAnswer;
    };
    return owner;
}

std::unique_ptr<data::postgres::ServerBackend> openServerLedger(const QString& database, OwnerLog& log,
                                                               const QString& user)
{
    auto backend = std::make_unique<data::postgres::ServerBackend>();
    backend->setOwner(log.owner());
    backend->open(data::serverConnectionString(conninfoOf(database, user)));
    return backend;
}

std::string serverRows(const QString& sql, const QString& database)
{
    const PgServer::Result result = sharedPgServer().run(sql, database);
    if (!result.ok())
        throw std::runtime_error(result.error.toStdString());
    return result.rows.toStdString();
}

} // namespace testing_support
