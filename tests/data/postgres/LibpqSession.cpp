#include "tests/data/postgres/LibpqSession.h"

#include "data/LedgerProblem.h"

#include <QStringList>
#include <libpq-fe.h>
#include <stdexcept>

// Result's members, which the back end's own session defines in the program; the parts
// under test here link without it.
namespace data::postgres {

int Result::rows() const { return PQntuples(m_result.get()); }
int Result::columns() const { return PQnfields(m_result.get()); }
bool Result::isNull(int row, int column) const { return PQgetisnull(m_result.get(), row, column); }
QByteArray Result::text(int row, int column) const
{
    return QByteArray(PQgetvalue(m_result.get(), row, column), PQgetlength(m_result.get(), row, column));
}
long long Result::affected() const { return QByteArray(PQcmdTuples(m_result.get())).toLongLong(); }
void Result::Free::operator()(pg_result* result) const { PQclear(result); }

} // namespace data::postgres

namespace testing_support {

using data::postgres::Result;

LibpqSession::LibpqSession(const QString& conninfo) : m_connection(PQconnectdb(conninfo.toUtf8().constData()))
{
    if (PQstatus(m_connection) != CONNECTION_OK) {
        const std::string why = PQerrorMessage(m_connection);
        PQfinish(m_connection);
        throw std::runtime_error("cannot connect: " + why);
    }
    // What the server notes in passing (a table that is there already) is no failure.
    PQsetNoticeProcessor(m_connection, [](void*, const char*) {}, nullptr);
}

LibpqSession::~LibpqSession()
{
    PQfinish(m_connection);
}

Result LibpqSession::exec(const QByteArray& sql, const std::vector<std::optional<QByteArray>>& parameters)
{
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const std::optional<QByteArray>& p : parameters) {
        values.push_back(p ? p->constData() : nullptr);
        lengths.push_back(p ? int(p->size()) : 0);
    }
    Result result(PQexecParams(m_connection, sql.constData(), int(values.size()), nullptr, values.data(),
                               lengths.data(), nullptr, 0));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw platform::DbError(QString::fromUtf8(PQerrorMessage(m_connection)).trimmed());
    return result;
}

void LibpqSession::execScript(const QByteArray& sql)
{
    const Result result(PQexec(m_connection, sql.constData()));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        throw platform::DbError(QString::fromUtf8(PQerrorMessage(m_connection)).trimmed());
}

bool LibpqSession::inTransaction() const
{
    return PQtransactionStatus(m_connection) != PQTRANS_IDLE;
}

QString LibpqSession::value(const QByteArray& sql)
{
    const Result result = exec(sql);
    return result.rows() ? QString::fromUtf8(result.text(0, 0)) : QString();
}

std::string LibpqSession::rows(const QByteArray& sql)
{
    const Result result = exec(sql);
    QStringList rows;
    for (int r = 0; r < result.rows(); ++r) {
        QStringList values;
        for (int c = 0; c < result.columns(); ++c)
            values << (result.isNull(r, c) ? QStringLiteral("NULL") : QString::fromUtf8(result.text(r, c)));
        rows << values.join(u'|');
    }
    return rows.join(QStringLiteral("; ")).toStdString();
}

void writeAsTheBackEnd(data::postgres::Session& session, const std::function<void()>& enter,
                       const std::function<void(bool committed)>& left, const std::function<void()>& write)
{
    const bool own = !session.inTransaction();
    if (own)
        session.exec("begin");
    try {
        enter();
        write();
    } catch (...) {
        if (own) {
            session.exec("rollback");
            left(false);
        }
        throw;
    }
    if (own) {
        session.exec("commit");
        left(true);
    }
}

} // namespace testing_support
