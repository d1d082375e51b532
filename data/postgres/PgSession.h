#pragma once
// A libpq connection to the ledger's server: the writer every part of the server back
// end shares (Session), and the way the back end's other connections (readers, the
// listener) are made.

#include "data/postgres/Session.h"

#include <QString>
#include <functional>
#include <memory>

struct pg_conn;

namespace data::postgres {

struct ConnectionFree {
    void operator()(pg_conn* connection) const;
};
using PgConnection = std::unique_ptr<pg_conn, ConnectionFree>;

// The server asks for a password the conninfo and libpq's own means did not give (or
// refused the one given).
class PasswordNeeded : public platform::DbError {
public:
    using DbError::DbError;
};

// A conninfo libpq cannot read; the reason says which part, every secret masked.
class ConninfoUnreadable : public platform::DbError {
public:
    using DbError::DbError;
};

// How long a host may take to answer a new connection when neither the conninfo nor
// PGCONNECT_TIMEOUT says.
inline constexpr int kDefaultConnectSeconds = 10;

// Connects to the server `conninfo` names (anything libpq takes, several hosts tried in
// turn), each host given the conninfo's connect_timeout (else PGCONNECT_TIMEOUT, else
// kDefaultConnectSeconds) to answer. Keep-alives and a limit on unacknowledged data are
// asked for unless the user set them, so a dropped network is found within about half a
// minute. Every connection reads dates in ISO order and numbers in full. Throws DbError
// with libpq's own reason (PasswordNeeded when that is a password, ConninfoUnreadable).
PgConnection connectTo(const QString& conninfo);
// The same in two halves, for a caller that waits on the socket itself: the connection
// started (PQconnectPoll takes it on), and once it is made, set up as connectTo's are.
PgConnection startConnecting(const QString& conninfo);
void prepareConnection(pg_conn* connection);
// How long the hosts of `conninfo` may take to answer a new connection, all together.
int connectSeconds(const QString& conninfo);

// Waits for the answer to what was sent on `connection`, no longer than a statement may
// take (two minutes; TALLYFOLD_STATEMENT_SECONDS says otherwise). A server that has not
// answered by then is taken for gone (stopped, or a network that holds the packets): the
// connection is shut, so that what follows reads it as lost. Answers false then.
bool awaitAnswer(pg_conn* connection);
// The one result of a statement sent, read as awaitAnswer() waits (the first failure,
// else the last result, of several statements sent as one text).
pg_result* answerOf(pg_conn* connection);

// What the server said when a statement failed, or why the connection failed.
QString errorOf(pg_conn* connection, const pg_result* result = nullptr);

class PgSession final : public Session {
public:
    explicit PgSession(PgConnection connection);
    ~PgSession() override;

    Result exec(const QByteArray& sql, const std::vector<std::optional<QByteArray>>& parameters = {}) override;
    bool inTransaction() const override;

    // Runs `sql` so that, inside a pending transaction, a failure undoes only this
    // statement and leaves the transaction open, as a refused row does on a file
    // (one round trip: a savepoint around it, sent as a pipeline). Answers the rows
    // it changed.
    long long execUndoingItselfOnly(const QByteArray& sql);

    // Runs several statements of the program's own (the ledger's tables), as one text.
    void execScript(const char* sql);

    // Called when a statement finds the connection gone; answers the message every
    // statement is then refused with.
    void setOnLost(std::function<QString(const QString& detail)> onLost) { m_onLost = std::move(onLost); }
    // Goes on over a new connection to the same server (after the old one was lost),
    // statements let through again: those holding the session keep holding it.
    void replace(PgConnection connection);
    // Refuses every statement with `message` ("" again: lets them through).
    void refuseAll(const QString& message) { m_refusal = message; }
    bool connected() const;
    int backendPid() const;
    pg_conn* handle() const { return m_connection.get(); }

private:
    // Throws for a failed statement: FileRefusal when the connection has gone.
    [[noreturn]] void failed(const pg_result* result);

    PgConnection m_connection;
    std::function<QString(const QString&)> m_onLost;
    QString m_refusal;
};

} // namespace data::postgres
