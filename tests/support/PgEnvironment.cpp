#include "tests/support/PgEnvironment.h"

#include <memory>
#include <stdexcept>
#include <gtest/gtest.h>

namespace testing_support {

namespace {

std::unique_ptr<PgServer> server;
QString startFailure;

// Stops the server after the last test, while gtest still reports.
class PgEnvironment : public ::testing::Environment {
public:
    void TearDown() override { server.reset(); }
};

// Linked in only with the binaries that use the shared server.
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new PgEnvironment);

} // namespace

PgServer& sharedPgServer()
{
    if (!server && startFailure.isEmpty()) {
        auto started = std::make_unique<PgServer>();
        startFailure = started->start();
        if (startFailure.isEmpty())
            server = std::move(started);
    }
    if (!server)
        throw std::runtime_error("The test PostgreSQL server did not start: " + startFailure.toStdString());
    return *server;
}

QString freshPgDatabase()
{
    static int made = 0;
    const QString name = QStringLiteral("ledger_%1").arg(++made);
    const QString why = sharedPgServer().createDatabase(name);
    if (!why.isEmpty())
        throw std::runtime_error("A test database cannot be made: " + why.toStdString());
    return name;
}

} // namespace testing_support
