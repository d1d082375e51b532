#pragma once
// The test binary's one PostgreSQL server: started the first time a test asks for it,
// so binaries that never ask pay nothing, and stopped, its folder removed, when the
// binary's tests end, whether they passed or not. ctest runs each test case as a
// process of its own, so there each case that asks gets a server of its own.

#include "tests/support/PgServer.h"

namespace testing_support {

// The running server. When it cannot start, throws std::runtime_error with the reason,
// which fails the asking test with it (and every later one, without trying again).
PgServer& sharedPgServer();

// A new, empty database on the shared server, "ledger_1", "ledger_2"... in the order
// asked; throws like sharedPgServer().
QString freshPgDatabase();

} // namespace testing_support
