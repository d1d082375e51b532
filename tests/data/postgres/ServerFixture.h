#pragma once
// A server ledger for a test: a fresh database on the binary's own server, made a
// ledger by the back end itself, and what the test sees of it from outside.

#include "data/postgres/ServerBackend.h"
#include "tests/support/PgEnvironment.h"

#include <QStringList>
#include <memory>

namespace testing_support {

// The database's conninfo for the superuser (or `user`).
QString conninfoOf(const QString& database, const QString& user = QStringLiteral("postgres"));

// What the owner of a back end was told and asked, counted.
struct OwnerLog {
    QStringList told;
    QStringList asked;   // createLedger's ledger names
    int changed = 0;
    int othersChanged = 0;
    bool createAnswer = true;
    platform::ConnectionOwner owner();
};

// A back end opened on `database`, which it makes a ledger when it is empty.
std::unique_ptr<data::postgres::ServerBackend> openServerLedger(const QString& database, OwnerLog& log,
                                                               const QString& user = QStringLiteral("postgres"));

// The rows of `sql` on `database` as the fixture's server writes them ("a|b; c|d").
std::string serverRows(const QString& sql, const QString& database);

} // namespace testing_support
