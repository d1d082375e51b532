#pragma once
// What the program keeps of a server ledger's libpq conninfo.

#include <QString>

namespace data::postgres {

// The conninfo without its password, in libpq's keyword form (an address is taken
// apart the same way), for keeping in the settings: a password comes only from libpq's
// own means (~/.pgpass, a service file, PGPASSWORD) or from the user, for one run. A
// conninfo libpq cannot read is kept as given: it holds no password libpq would use.
QString withoutPassword(const QString& conninfo);

// The conninfo with a password the user typed for this run.
QString withPassword(const QString& conninfo, const QString& password);

} // namespace data::postgres
