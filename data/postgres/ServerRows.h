#pragma once
// Reading a server ledger's rows: the readers' connections, a query's rows read on one
// of them through a cursor, and the conversion of the server's values into what the
// windows read.

#include "data/Connection.h"
#include "data/postgres/PgSession.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace data::postgres {

// A query's connection was lost (the server went away); what() is libpq's reason.
class ReaderLost : public platform::DbError {
public:
    using DbError::DbError;
};

// Connections for reading, each serving one open query at a time, a few kept idle for
// the next: the windows open many small queries.
class ReaderPool {
public:
    explicit ReaderPool(QString conninfo) : m_conninfo(std::move(conninfo)) {}
    // An idle reader, or a new connection; throws ReaderLost when none can be made.
    PgConnection take();
    // A reader whose query has ended, idle again (dropped once the pool is closed).
    void giveBack(PgConnection reader);
    // Drops the idle readers; readers of queries still open are dropped as they end.
    void close();

private:
    QString m_conninfo;
    std::vector<PgConnection> m_idle;
    bool m_closed = false;
};

// The rows of `sql` (one PostgreSQL select) as they are when it opens, read front to
// back on a reader of the pool in a read-only repeatable-read transaction, a batch at a
// time, the next batch fetched while the one before is read. Throws DbError with the
// server's message, ReaderLost when the connection is gone.
std::unique_ptr<Rows> cursorRows(const std::shared_ptr<ReaderPool>& pool, const QByteArray& sql);

// The rows of a result already read whole (a query on the writer's own session).
std::unique_ptr<Rows> resultRows(Result result);

// A value as the server writes it in text, of the type with that oid, as the windows
// read it (see Rows::value).
QVariant valueOf(unsigned type, const char* text, int length);

} // namespace data::postgres
