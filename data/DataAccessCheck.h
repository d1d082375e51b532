#pragma once
// The health of the data-access library, checked at every start before the shared
// connection opens, and the repair packages shipped beside the program for when it
// fails.

#include "data/sqlite/Database.h"

#include <QString>
#include <functional>
#include <memory>

namespace data {

// Why the SQLite library loaded at run time cannot serve the program's connections and
// recordsets, or the empty string when it can. It must be no older than the library
// the program was built against, open an in-memory database, be built for use from
// more than one thread (a large query is read ahead on a worker thread), and give the
// table column a query column comes from (a recordset tells date and yes/no columns
// by it).
QString dataAccessProblem();

// The probe objects of the start-up check: a connection and a recordset of the kinds
// the program uses, created and never opened. Creating one throws platform::DbError
// when dataAccessProblem() names a problem, or on demand when the environment variable
// TALLYFOLD_FAIL_DATA_ACCESS_PROBE is "1", so the repair can be tried on a sound system.
std::unique_ptr<platform::Connection> createProbeConnection();
std::unique_ptr<platform::Recordset> createProbeRecordset();

// True on a 64-bit system: one whose processor architecture, as the kernel reports it,
// is a 64-bit one, whatever the program itself was built for. Throws when the
// architecture cannot be found out.
bool Is64BitWindows();
// Replaces how the architecture is found (QSysInfo's current CPU architecture by
// default), for tests; a source that throws stands for a failed query. nullptr restores
// the real one.
void setArchitectureSource(std::function<QString()> source);

// The repair package for this system, in the program folder: "ADOFix64.msu" on a
// 64-bit system, "ADOFix86.msu" on a 32-bit one or when that cannot be found out.
QString repairPackagePath();

} // namespace data
