// The server back end while its server is away and after: which connection was lost,
// what of the caller's transaction survives it, connecting again (on the event loop, or
// at once for a command), and whether a commit whose answer was lost landed.
#include "data/postgres/ServerBackend.h"

#include "data/LedgerMessages.h"
#include "data/postgres/Conninfo.h"
#include "data/postgres/Listener.h"
#include "data/postgres/PgSession.h"
#include "data/postgres/Reconnector.h"
#include "data/postgres/ServerRows.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <libpq-fe.h>

namespace data::postgres {

using platform::FileProblem;

QString ServerBackend::lost(const QString& detail, bool tell)
{
    if (m_problem != FileProblem::Away) {
        m_beforeAway = m_problem;
        m_problemMessageBeforeAway = m_problemMessage;
        setProblem(FileProblem::Away, serverProblemMessage(FileProblem::Away, m_title, detail));
        if (tell && m_owner.tell)
            m_owner.tell(m_problemMessage);
        // Tried on the event loop; a program without one (a command) stays refused.
        if (QCoreApplication::instance())
            m_reconnect = std::make_unique<Reconnector>(
                m_conninfo, [this](PgConnection connection) { reconnected(std::move(connection)); });
    }
    if (m_writer)
        m_writer->refuseAll(m_problemMessage);
    return m_problemMessage;
}

void ServerBackend::loseTransaction()
{
    if (m_transaction == Transaction::Open)
        m_transaction = Transaction::Lost;
}

void ServerBackend::refuseLostTransaction() const
{
    if (m_transaction == Transaction::Lost)
        throw platform::FileRefusal(lostTransactionMessage(), false);
}

void ServerBackend::rollbackWriter()
{
    pg_conn* c = m_writer->handle();
    if (!m_writer->connected() || PQtransactionStatus(c) == PQTRANS_IDLE)
        return;
    const Result back(PQexec(c, "rollback"));
    if (PQresultStatus(back.get()) != PGRES_COMMAND_OK || PQtransactionStatus(c) != PQTRANS_IDLE) {
        // Nothing can be trusted of a session whose transaction would not end: the next
        // reconnection replaces it (writerServes() reads it as not serving).
        lost(errorOf(c, back.get()), true);
    }
}

bool ServerBackend::writerServes()
{
    pg_conn* c = m_writer->handle();
    if (!m_writer->connected())
        return false;
    const PGTransactionStatusType expected = m_transaction == Transaction::None ? PQTRANS_IDLE : PQTRANS_INTRANS;
    if (PQtransactionStatus(c) != expected)
        return false;
    const Result probe(PQexec(c, "select 1"));
    return PQresultStatus(probe.get()) == PGRES_TUPLES_OK && PQtransactionStatus(c) == expected;
}

void ServerBackend::reconnected(PgConnection connection)
{
    if (!resume(std::move(connection))) {
        m_reconnect->retry();
        return;
    }
    QString message = serverBackMessage(m_title);
    if (!m_uncertainCommit.isEmpty())
        message += QStringLiteral("\r\n\r\n") + uncertainChangeMessage(settledCommit());
    if (m_owner.tell)
        m_owner.tell(message);
    // What was read before may be stale: others may have changed the ledger meanwhile.
    if (m_owner.othersChanged)
        m_owner.othersChanged();
}

bool ServerBackend::resume(PgConnection connection)
{
    m_listener.reset();
    if (m_readers)
        m_readers->close();
    try {
        if (writerServes()) {
            // Only a reader or the listener had lost its connection: the writer, and the
            // transaction it may hold, go on; the new connection listens, when it
            // reached the writer's server (of several listed).
            m_writer->refuseAll({});
            const bool sameServer = qstrcmp(PQhost(connection.get()), PQhost(m_writer->handle())) == 0
                                 && qstrcmp(PQport(connection.get()), PQport(m_writer->handle())) == 0;
            startReaders(sameServer ? std::move(connection) : connectTo(m_sameServer));
        } else {
            // The same session over the new connection: the parts holding it (the undo
            // history) go on with it. A transaction open on the old one is gone.
            loseTransaction();
            m_sameServer = pinnedTo(m_conninfo, QString::fromUtf8(PQhost(connection.get())),
                                    QString::fromUtf8(PQport(connection.get())));
            m_writer->replace(std::move(connection));
            setUpSession();
        }
    } catch (const platform::DbError&) {
        m_listener.reset();
        m_writer->refuseAll(m_problemMessage);
        return false;
    }
    setProblem(m_beforeAway, m_beforeAway == FileProblem::None ? QString() : m_problemMessageBeforeAway);
    return true;
}

std::optional<bool> ServerBackend::settledCommit()
{
    std::optional<bool> landed;
    try {
        // The old session's server process may not yet have seen its connection go: a
        // moment for it to end the transaction one way or the other.
        const QDeadlineTimer patience(3000);
        for (;;) {
            const Result status = m_writer->exec("select txid_status($1)", {m_uncertainCommit});
            if (status.text(0, 0) == "committed")
                landed = true;
            else if (status.text(0, 0) == "aborted")
                landed = false;
            if (landed || status.text(0, 0) != "in progress" || patience.hasExpired())
                break;
            QThread::msleep(50);
        }
    } catch (const platform::DbError&) {
        // Not known: said so.
    }
    m_uncertainCommit.clear();
    return landed;
}

std::optional<bool> ServerBackend::settleCommitHere()
{
    // What the event loop's reconnection does, done now and waited for.
    m_reconnect.reset();
    const QDeadlineTimer deadline(qint64(kSettleSeconds) * 1000);
    while (!deadline.hasExpired()) {
        try {
            if (resume(connectTo(m_conninfo)))
                return settledCommit();
        } catch (const platform::DbError&) {
            // not back yet
        }
        QThread::msleep(500);
    }
    m_uncertainCommit.clear();
    return std::nullopt;
}

} // namespace data::postgres
