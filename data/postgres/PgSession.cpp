#include "data/postgres/PgSession.h"

#include <QDeadlineTimer>
#include <cerrno>
#include <cstdlib>
#include <libpq-fe.h>
#include <poll.h>

namespace data::postgres {

namespace {

const char* const kSavepoint = "savepoint tallyfold_statement";
const char* const kRelease = "release savepoint tallyfold_statement";
const char* const kRollbackTo = "rollback to savepoint tallyfold_statement";

// libpq reads a statement up to its first NUL, so a text holding one would be cut
// short without a word: refuse it whole instead.
void refuseNul(const QByteArray& text)
{
    if (text.contains('\0'))
        throw platform::DbError(QStringLiteral("A text holds the character NUL (code 0), which a ledger on a server "
                                               "cannot store. Nothing was changed."));
}

bool succeeded(const PGresult* result)
{
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

} // namespace

void ConnectionFree::operator()(pg_conn* connection) const
{
    PQfinish(connection);
}

void Result::Free::operator()(pg_result* result) const
{
    PQclear(result);
}

int Result::rows() const
{
    return PQntuples(m_result.get());
}

int Result::columns() const
{
    return PQnfields(m_result.get());
}

bool Result::isNull(int row, int column) const
{
    return PQgetisnull(m_result.get(), row, column) != 0;
}

QByteArray Result::text(int row, int column) const
{
    return QByteArray(PQgetvalue(m_result.get(), row, column), PQgetlength(m_result.get(), row, column));
}

long long Result::affected() const
{
    return std::atoll(PQcmdTuples(m_result.get()));
}

QString errorOf(pg_conn* connection, const pg_result* result)
{
    if (result) {
        const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
        if (primary) {
            QString message = QString::fromUtf8(primary);
            if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
                message += u' ' + QString::fromUtf8(detail);
            return message;
        }
        const char* text = PQresultErrorMessage(result);
        if (text && *text)
            return QString::fromUtf8(text).trimmed();
    }
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

PgConnection startConnecting(const QString& conninfo, int seconds)
{
    char* parseError = nullptr;
    PQconninfoOption* given = PQconninfoParse(conninfo.toUtf8().constData(), &parseError);
    if (!given) {
        const QString reason = parseError ? QString::fromUtf8(parseError).trimmed() : QStringLiteral("out of memory");
        PQfreemem(parseError);
        throw platform::DbError(reason);
    }
    std::vector<QByteArray> keywords, values;
    for (const PQconninfoOption* option = given; option->keyword; ++option) {
        if (option->val) {
            keywords.emplace_back(option->keyword);
            values.emplace_back(option->val);
        }
    }
    PQconninfoFree(given);
    const auto setUnlessGiven = [&](const char* keyword, const QByteArray& value) {
        for (const QByteArray& k : keywords) {
            if (k == keyword)
                return;
        }
        keywords.emplace_back(keyword);
        values.push_back(value);
    };
    setUnlessGiven("keepalives", "1");
    setUnlessGiven("keepalives_idle", "10");
    setUnlessGiven("keepalives_interval", "5");
    setUnlessGiven("keepalives_count", "3");
    setUnlessGiven("connect_timeout", QByteArray::number(seconds));
    setUnlessGiven("application_name", "Tallyfold");
    // Every text crosses as UTF-8, whatever the user's environment says.
    for (size_t i = 0; i < keywords.size(); ++i) {
        if (keywords[i] == "client_encoding")
            values[i] = "UTF8";
    }
    setUnlessGiven("client_encoding", "UTF8");
    std::vector<const char*> k, v;
    for (size_t i = 0; i < keywords.size(); ++i) {
        k.push_back(keywords[i].constData());
        v.push_back(values[i].constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);

    PgConnection connection(PQconnectStartParams(k.data(), v.data(), 0));
    if (!connection)
        throw platform::DbError(QStringLiteral("out of memory"));
    if (PQstatus(connection.get()) == CONNECTION_BAD)
        throw platform::DbError(errorOf(connection.get()));
    return connection;
}

void prepareConnection(pg_conn* c)
{
    // The server's notices (and the word it sends as it shuts a connection) are not for
    // the terminal: what matters reaches the user as a result.
    PQsetNoticeReceiver(c, [](void*, const PGresult*) {}, nullptr);
    Result set(PQexec(c, "set datestyle = 'ISO, YMD'; set intervalstyle = 'postgres'; set extra_float_digits = 1"));
    if (!succeeded(set.get()))
        throw platform::DbError(errorOf(c, set.get()));
}

PgConnection connectTo(const QString& conninfo, int seconds)
{
    PgConnection connection = startConnecting(conninfo, seconds);
    pg_conn* c = connection.get();
    // libpq's own time limit holds only for a blocking connect: this one waits on the
    // socket itself, up to one deadline for every host the conninfo names.
    const QDeadlineTimer deadline(qint64(seconds) * 1000);
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (PQstatus(c) != CONNECTION_BAD && state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        pollfd wait = {PQsocket(c), short(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&wait, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            throw platform::DbError(QStringLiteral("The server did not answer within %1 seconds.").arg(seconds));
        state = PQconnectPoll(c);
    }
    if (PQstatus(c) != CONNECTION_OK) {
        if (PQconnectionNeedsPassword(c))
            throw PasswordNeeded(errorOf(c));
        throw platform::DbError(errorOf(c));
    }
    prepareConnection(c);
    return connection;
}

PgSession::PgSession(PgConnection connection)
    : m_connection(std::move(connection))
{
}

PgSession::~PgSession() = default;

void PgSession::replace(PgConnection connection)
{
    m_connection = std::move(connection);
    m_refusal.clear();
}

bool PgSession::connected() const
{
    return PQstatus(m_connection.get()) == CONNECTION_OK;
}

int PgSession::backendPid() const
{
    return PQbackendPID(m_connection.get());
}

bool PgSession::inTransaction() const
{
    const PGTransactionStatusType status = PQtransactionStatus(m_connection.get());
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

void PgSession::failed(const pg_result* result)
{
    if (PQstatus(m_connection.get()) == CONNECTION_BAD) {
        const QString detail = errorOf(m_connection.get(), result);
        m_refusal = m_onLost ? m_onLost(detail) : detail;
        throw platform::FileRefusal(m_refusal, false);
    }
    throw platform::DbError(errorOf(m_connection.get(), result));
}

Result PgSession::exec(const QByteArray& sql, const std::vector<std::optional<QByteArray>>& parameters)
{
    if (!m_refusal.isEmpty())
        throw platform::FileRefusal(m_refusal, false);
    refuseNul(sql);
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const auto& parameter : parameters) {
        if (parameter)
            refuseNul(*parameter);
        values.push_back(parameter ? parameter->constData() : nullptr);
    }
    Result result(PQexecParams(m_connection.get(), sql.constData(), int(values.size()), nullptr, values.data(),
                               nullptr, nullptr, 0));
    if (!succeeded(result.get()))
        failed(result.get());
    return result;
}

void PgSession::execScript(const char* sql)
{
    if (!m_refusal.isEmpty())
        throw platform::FileRefusal(m_refusal, false);
    Result result(PQexec(m_connection.get(), sql));
    if (!succeeded(result.get()))
        failed(result.get());
}

long long PgSession::execUndoingItselfOnly(const QByteArray& sql)
{
    if (!m_refusal.isEmpty())
        throw platform::FileRefusal(m_refusal, false);
    refuseNul(sql);
    pg_conn* c = m_connection.get();
    if (PQenterPipelineMode(c) != 1)
        failed(nullptr);
    const char* const statements[] = {kSavepoint, sql.constData(), kRelease};
    for (const char* statement : statements) {
        if (PQsendQueryParams(c, statement, 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
            break;
    }
    PQpipelineSync(c);
    // The first result of each statement, up to the pipeline's end; a statement's
    // results end with a null, and a lost connection gives nulls for good.
    Result results[3];
    size_t statement = 0;
    int nulls = 0;
    for (;;) {
        PGresult* got = PQgetResult(c);
        if (!got) {
            if (++nulls > 1 || PQstatus(c) == CONNECTION_BAD)
                break;
            ++statement;
            continue;
        }
        nulls = 0;
        if (PQresultStatus(got) == PGRES_PIPELINE_SYNC) {
            PQclear(got);
            break;
        }
        if (statement < 3 && !results[statement].get())
            results[statement] = Result(got);
        else
            PQclear(got);
    }
    PQexitPipelineMode(c);
    if (PQstatus(c) == CONNECTION_BAD)
        failed(nullptr);
    if (!results[0].get() || !succeeded(results[0].get()))
        failed(results[0].get());
    if (!results[1].get() || !succeeded(results[1].get())) {
        const QString message = errorOf(c, results[1].get());
        // The statement undone alone: the transaction goes on as before it.
        Result back(PQexec(c, kRollbackTo));
        if (succeeded(back.get()))
            Result(PQexec(c, kRelease));
        else if (PQstatus(c) == CONNECTION_BAD)
            failed(back.get());
        throw platform::DbError(message);
    }
    if (!results[2].get() || !succeeded(results[2].get()))
        failed(results[2].get());
    return results[1].affected();
}

} // namespace data::postgres
