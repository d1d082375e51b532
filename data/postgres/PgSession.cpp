#include "data/postgres/PgSession.h"

#include "data/postgres/Conninfo.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

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

namespace {

// The conninfo's options as libpq reads them; throws ConninfoUnreadable.
PQconninfoOption* parsed(const QString& conninfo)
{
    char* parseError = nullptr;
    PQconninfoOption* given = PQconninfoParse(conninfo.toUtf8().constData(), &parseError);
    if (!given) {
        const QString reason = parseError ? QString::fromUtf8(parseError).trimmed() : QStringLiteral("out of memory");
        PQfreemem(parseError);
        throw ConninfoUnreadable(conninfoProblem(conninfo, reason));
    }
    return given;
}

int statementLimitMs()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("TALLYFOLD_STATEMENT_SECONDS", &ok);
    return ok && seconds > 0 ? seconds * 1000 : 120 * 1000;
}

} // namespace

int connectSeconds(const QString& conninfo)
{
    PQconninfoOption* given = parsed(conninfo);
    QByteArray timeout = qgetenv("PGCONNECT_TIMEOUT");
    int hosts = 1;
    for (const PQconninfoOption* option = given; option->keyword; ++option) {
        if (!option->val)
            continue;
        if (qstrcmp(option->keyword, "connect_timeout") == 0)
            timeout = option->val;
        else if (qstrcmp(option->keyword, "host") == 0 || qstrcmp(option->keyword, "hostaddr") == 0)
            hosts = std::max(hosts, int(QByteArray(option->val).count(',')) + 1);
    }
    PQconninfoFree(given);
    bool ok = false;
    const int seconds = timeout.trimmed().toInt(&ok);
    // libpq waits at least two seconds for a host, and without end for 0.
    return hosts * (ok && seconds > 0 ? std::max(seconds, 2) : kDefaultConnectSeconds);
}

bool awaitAnswer(pg_conn* c)
{
    const QDeadlineTimer deadline(statementLimitMs());
    while (PQisBusy(c)) {
        pollfd wait = {PQsocket(c), POLLIN, 0};
        const int ready = ::poll(&wait, 1, int(std::min<qint64>(deadline.remainingTime(), 60000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0 && deadline.hasExpired()) {
            ::shutdown(PQsocket(c), SHUT_RDWR);
            PQconsumeInput(c);
            return false;
        }
        if (ready > 0 && !PQconsumeInput(c))
            return true;   // lost: the results say so
    }
    return true;
}

pg_result* answerOf(pg_conn* c)
{
    awaitAnswer(c);
    PGresult* kept = nullptr;
    while (PGresult* got = PQgetResult(c)) {
        if (kept && !succeeded(kept)) {
            PQclear(got);
        } else {
            PQclear(kept);
            kept = got;
        }
        if (PQstatus(c) == CONNECTION_BAD)
            break;
        awaitAnswer(c);
    }
    return kept;
}

namespace {

// The conninfo's options with the program's defaults added, as libpq's arrays take them.
struct ConnectParameters {
    std::vector<QByteArray> keywordTexts, valueTexts;
    std::vector<const char*> keywords, values;
};

ConnectParameters connectParameters(const QString& conninfo)
{
    PQconninfoOption* given = parsed(conninfo);
    ConnectParameters parameters;
    std::vector<QByteArray>& keywords = parameters.keywordTexts;
    std::vector<QByteArray>& values = parameters.valueTexts;
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
    setUnlessGiven("tcp_user_timeout", "30000");
    if (!qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT"))
        setUnlessGiven("connect_timeout", QByteArray::number(kDefaultConnectSeconds));
    setUnlessGiven("application_name", "Tallyfold");
    // Every text crosses as UTF-8, whatever the user's environment says.
    for (size_t i = 0; i < keywords.size(); ++i) {
        if (keywords[i] == "client_encoding")
            values[i] = "UTF8";
    }
    setUnlessGiven("client_encoding", "UTF8");
    for (size_t i = 0; i < keywords.size(); ++i) {
        parameters.keywords.push_back(keywords[i].constData());
        parameters.values.push_back(values[i].constData());
    }
    parameters.keywords.push_back(nullptr);
    parameters.values.push_back(nullptr);
    return parameters;
}

} // namespace

PgConnection startConnecting(const QString& conninfo)
{
    const ConnectParameters parameters = connectParameters(conninfo);

    PgConnection connection(PQconnectStartParams(parameters.keywords.data(), parameters.values.data(), 0));
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

PgConnection connectTo(const QString& conninfo)
{
    // libpq's own blocking connect: it gives each host its connect_timeout and goes on
    // to the next one when a host does not answer.
    const ConnectParameters parameters = connectParameters(conninfo);
    PgConnection connection(PQconnectdbParams(parameters.keywords.data(), parameters.values.data(), 0));
    pg_conn* c = connection.get();
    if (!c)
        throw platform::DbError(QStringLiteral("out of memory"));
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
    pg_conn* c = m_connection.get();
    Result result(PQsendQueryParams(c, sql.constData(), int(values.size()), nullptr, values.data(), nullptr, nullptr, 0)
                      ? answerOf(c)
                      : nullptr);
    if (!succeeded(result.get()))
        failed(result.get());
    return result;
}

void PgSession::execScript(const char* sql)
{
    if (!m_refusal.isEmpty())
        throw platform::FileRefusal(m_refusal, false);
    Result result(PQsendQuery(m_connection.get(), sql) ? answerOf(m_connection.get()) : nullptr);
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
    bool sent = true;
    for (const char* statement : statements) {
        sent = PQsendQueryParams(c, statement, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
        if (!sent)
            break;
    }
    // Nothing would end the pipeline without its sync: what was sent is left unread,
    // and the connection is no longer one to go on with (the back end's reconnection
    // finds it does not serve, and replaces it).
    if (!sent || PQpipelineSync(c) != 1) {
        const QString why = errorOf(c);
        PQexitPipelineMode(c);
        m_refusal = m_onLost ? m_onLost(why) : why;
        throw platform::FileRefusal(m_refusal, false);
    }
    // The first result of each statement, up to the pipeline's end; a statement's
    // results end with a null, and a lost connection gives nulls for good.
    Result results[3];
    size_t statement = 0;
    int nulls = 0;
    for (;;) {
        awaitAnswer(c);
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
        Result back(PQsendQuery(c, kRollbackTo) ? answerOf(c) : nullptr);
        if (succeeded(back.get()))
            back = Result(PQsendQuery(c, kRelease) ? answerOf(c) : nullptr);
        if (!succeeded(back.get())) {
            // Not undone alone: the whole transaction is failed, as the server has it,
            // and its commit will answer with a rollback.
            if (PQstatus(c) == CONNECTION_BAD)
                failed(back.get());
            throw platform::DbError(message + u' ' + errorOf(c, back.get()));
        }
        throw platform::DbError(message);
    }
    if (!results[2].get() || !succeeded(results[2].get()))
        failed(results[2].get());
    return results[1].affected();
}

} // namespace data::postgres
