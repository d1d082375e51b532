#pragma once
// Reading a server ledger's rows: the readers' connections, a query's rows read on one
// of them through a cursor, and the conversion of the server's values into what the
// windows read.

#include "data/Connection.h"
#include "data/postgres/PgSession.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace data::postgres {

// Connections for reading, each serving one open query at a time, a few kept idle for
// the next: the windows open many small queries.
class ReaderPool {
public:
    // `lost` hears that the server has gone (libpq's reason) and answers the message a
    // read is refused with then.
    ReaderPool(QString conninfo, std::function<QString(const QString& detail)> lost)
        : m_conninfo(std::move(conninfo)), m_lost(std::move(lost))
    {
    }
    // An idle reader, or a new connection; throws as lost() does when none can be made.
    PgConnection take();
    // A reader's connection has gone: throws FileRefusal, quiet (the user is told once,
    // by whoever hears of it first), or DbError once the pool is closed.
    [[noreturn]] void lost(const QString& detail);
    // A reader whose query has ended, idle again (dropped once the pool is closed).
    void giveBack(PgConnection reader);
    // Drops the idle readers; readers of queries still open are dropped as they end.
    void close();

private:
    QString m_conninfo;
    std::function<QString(const QString&)> m_lost;
    std::vector<PgConnection> m_idle;
    bool m_closed = false;
};

// The rows of `sql` (one PostgreSQL select) as they are when it opens, read front to
// back on a reader of the pool in a read-only repeatable-read transaction, a batch at a
// time, the next batch fetched while the one before is read. Throws DbError with the
// server's message, as ReaderPool::lost() does when the connection is gone.
std::unique_ptr<Rows> cursorRows(const std::shared_ptr<ReaderPool>& pool, const QByteArray& sql);

// The rows of a result already read whole (a query on the writer's own session).
std::unique_ptr<Rows> resultRows(Result result);

// A value as the server writes it in text, of the type with that oid, as the windows
// read it (see Rows::value).
QVariant valueOf(unsigned type, const char* text, int length);

} // namespace data::postgres
