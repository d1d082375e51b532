#pragma once
// What makes a database on a server a ledger: its tables and format version, made or
// checked in one transaction under a lock every desktop takes, so two desktops opening
// an empty database at once never both make a ledger in it.

#include "data/postgres/PgSession.h"

#include <QStringList>

namespace data::postgres {

// What a database holds.
struct LedgerFacts {
    enum Kind { Ledger, Empty, OtherTables, NoRights } kind = Empty;   // NoRights: a ledger the role may not read
    int version = 0;   // a ledger's format version
    // The tables of the format a ledger lacks (one half made, or half dropped): what
    // the making of a ledger creates, read from its own statements.
    QStringList missing;
};

// Opens a transaction on `session`, takes the ledger's lock in it (held until that
// transaction ends) and reads what the database holds.
LedgerFacts lockAndInspect(PgSession& session);

// Makes the empty database a ledger of the current format, in the transaction and
// under the lock lockAndInspect() took: the functions its statements use, the tables,
// the undo history's, the version.
void makeLedger(PgSession& session);

// Brings a ledger of an older format up to the current one, in that transaction;
// throws DbError when no migration leads there.
void migrateLedger(PgSession& session, int fromVersion);

} // namespace data::postgres
