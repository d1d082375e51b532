#pragma once
// What the program keeps and shows of a server ledger's libpq conninfo: never a
// secret. Which keywords are secret is libpq's own word (those it shows masked, "*"),
// so a secret a later libpq adds is kept out too.

#include <QString>

namespace data::postgres {

// Whether libpq holds the keyword's value secret (password, sslpassword...).
bool isSecretKeyword(const QString& keyword);

// The conninfo without any secret, in libpq's keyword form (an address is taken apart
// the same way), for keeping in the settings: a secret comes only from libpq's own means
// (~/.pgpass, a service file, PGPASSWORD) or from the user, for one run. "" for a
// conninfo libpq cannot read: such a text is never kept.
QString withoutSecrets(const QString& conninfo);

// The conninfo with a password the user typed for this run.
QString withPassword(const QString& conninfo, const QString& password);

// The conninfo naming only the host and port a connection of it reached (of several it
// may list), for the further connections of one session to the same server.
QString pinnedTo(const QString& conninfo, const QString& host, const QString& port);

// A conninfo libpq cannot read, as it may be shown: the keywords and the values of
// those libpq shows openly (host, dbname, user...), every other value (a secret, a
// misspelt keyword's, an address's password) as "*****".
QString maskedConninfo(const QString& conninfo);
// Why libpq cannot read the conninfo (its reason, `libpqReason`), each secret the text
// holds masked as maskedConninfo() masks it, and the text itself so masked.
QString conninfoProblem(const QString& conninfo, const QString& libpqReason);

} // namespace data::postgres
