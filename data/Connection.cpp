#include "data/Connection.h"

#include "data/postgres/ServerBackend.h"
#include "data/sqlite/FileBackend.h"

namespace data {

namespace {
const QString kServerProvider = QStringLiteral("provider=postgresql;data source=");

[[noreturn]] void notOpen()
{
    throw platform::DbError(QStringLiteral("Operation is not allowed when the object is closed."));
}
} // namespace

QString fileConnectionString(const QString& path)
{
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + path
        + QStringLiteral(";JET OLEDB:Database Password=");
}

bool isServerConnectionString(const QString& connectionString)
{
    return connectionString.startsWith(kServerProvider, Qt::CaseInsensitive);
}

QString serverConnectionString(const QString& conninfo)
{
    return kServerProvider + conninfo;
}

QString conninfoOf(const QString& serverConnectionString)
{
    return serverConnectionString.mid(kServerProvider.size());
}

Connection::Connection() = default;

Connection::~Connection()
{
    try {
        Close();
    } catch (const platform::DbError&) {
        // Closing at the end tells nobody: what could not be folded in stays in the log.
    }
}

void Connection::setOwner(Owner owner)
{
    m_owner = std::move(owner);
    if (m_backend)
        m_backend->setOwner(m_owner);
}

void Connection::Open(const QString& connectionString)
{
    if (m_backend && m_backend->isOpen())
        throw platform::DbError(QStringLiteral("Operation is not allowed when the object is open."));
    // A connection opened again on the same kind of ledger keeps its back end, and so
    // what that has told the user once already (an undo history it cannot keep).
    const bool server = isServerConnectionString(connectionString);
    if (!m_backend || server != m_server) {
        if (server)
            m_backend = std::make_unique<postgres::ServerBackend>();
        else
            m_backend = std::make_unique<sqlite::FileBackend>();
        m_server = server;
        m_backend->setOwner(m_owner);
    }
    m_backend->open(connectionString);
}

Backend& Connection::open() const
{
    // A back end answers for itself once made: one that refused its ledger says so.
    if (!m_backend)
        notOpen();
    return *m_backend;
}

Backend& Connection::usable(bool reading) const
{
    Backend& backend = open();
    if (!backend.isOpen() && backend.problem() != platform::FileProblem::None)
        throw platform::FileRefusal(backend.problemMessage(), reading);
    return backend;
}

long long Connection::Execute(const QString& jetSql)
{
    return usable(false).execute(jetSql);
}

void Connection::Close()
{
    if (m_backend)
        m_backend->close();
}

void Connection::BeginTrans()
{
    usable(false).begin();
}

void Connection::CommitTrans()
{
    usable(false).commit();
}

void Connection::RollbackTrans()
{
    if (m_backend)
        m_backend->rollback();
}

bool Connection::InTransaction() const
{
    return m_backend && m_backend->inTransaction();
}

platform::FileProblem Connection::problem() const
{
    return m_backend ? m_backend->problem() : platform::FileProblem::None;
}

QString Connection::problemMessage() const
{
    return m_backend ? m_backend->problemMessage() : QString();
}

void Connection::checkInBackground()
{
    if (m_backend)
        m_backend->checkInBackground();
}

void Connection::checkNow()
{
    if (m_backend)
        m_backend->checkNow();
}

QVariant Field::Value() const
{
    return m_rows->value(m_column);
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(const QString& jetSql, Connection& connection, int, int)
{
    if (m_rows)
        throw platform::DbError(QStringLiteral("Operation is not allowed when the object is open."));
    m_rows = connection.usable(true).query(jetSql);
}

const Rows& Recordset::rows() const
{
    if (!m_rows)
        notOpen();
    return *m_rows;
}

bool Recordset::eof() const
{
    return rows().eof();
}

void Recordset::MoveNext()
{
    if (!m_rows)
        notOpen();
    m_rows->next();
}

Field Recordset::Fields(QStringView name) const
{
    const int column = rows().column(name);
    if (column < 0)
        throw platform::DbError(QStringLiteral("Item cannot be found in the collection corresponding to the "
                                               "requested name or ordinal."));
    return Field(m_rows.get(), column);
}

void Recordset::Close()
{
    m_rows.reset();
}

} // namespace data
