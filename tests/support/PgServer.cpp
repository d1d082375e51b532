#include "tests/support/PgServer.h"

#include "tests/support/PgFolders.h"
#include "tests/support/PgProgram.h"
#include "tests/support/TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

namespace {

// A port no one listens on now. The server listens on it only once TLS is on; until
// then it names the socket file, in a folder of the server's own.
int freePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(socket);
    return port;
}

QString quoted(QString text, QChar quote)
{
    return quote + text.replace(quote, QString(2, quote)) + quote;
}

QString sqlName(const QString& name)
{
    return quoted(name, u'"');
}

QString sqlText(const QString& text)
{
    return quoted(text, u'\'');
}

// A value of a libpq connection string.
QString keyword(const QString& key, QString value)
{
    return key + u'=' + u'\'' + value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'")) +
           u'\'';
}

QString randomSecret()
{
    return QString::number(QRandomGenerator::global()->generate64(), 36) +
           QString::number(QRandomGenerator::global()->generate64(), 36);
}

QString appendTo(const QString& path, const QString& lines)
{
    // Appending keeps the file's owner, the server's user; a later setting wins.
    QFile file(path);
    const QByteArray text = lines.toUtf8();
    if (!file.open(QIODevice::Append) || file.write(text) != text.size() || !file.flush())
        return QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    return {};
}

// The end of the server's log, where it says why it did not start.
QString logTail(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).trimmed().split(u'\n');
    return lines.mid(qMax(0, lines.size() - 12)).join(u'\n');
}

QString pgCtl(const QString& folder, QStringList arguments)
{
    arguments << QStringLiteral("-D") << folder + QStringLiteral("/data") << QStringLiteral("-w")
              << QStringLiteral("-s") << QStringLiteral("-t") << QStringLiteral("120");
    const pg::ProgramRun run = pg::runServerProgram(QStringLiteral("pg_ctl"), arguments, folder);
    return run.ok ? QString() : QStringLiteral("pg_ctl %1 failed: %2").arg(arguments.first(), run.output);
}

} // namespace

PgServer::PgServer(const QString& baseFolder) : m_base(baseFolder.isEmpty() ? pg::defaultBaseFolder() : baseFolder)
{
}

PgServer::~PgServer()
{
    stop();
}

QString PgServer::start()
{
    if (m_running)
        return {};
    if (!m_folder.isEmpty())
        return resume();
    QString why = pg::prepareBaseFolder(m_base);
    if (!why.isEmpty())
        return why;
    pg::removeAbandoned(m_base);
    const QString templateFolder = pg::templateFolder(m_base, &why);
    if (!why.isEmpty())
        return why;
    m_folder = pg::newServerFolder(m_base, &why);
    if (!why.isEmpty())
        return why;
    // As root, cp keeps the server user as the owner of the copy.
    const pg::ProgramRun copy = pg::runProgram(
        QStringLiteral("cp"), {QStringLiteral("-a"), templateFolder, m_folder + QStringLiteral("/data")}, m_folder);
    m_port = freePort();
    if (!copy.ok)
        why = QStringLiteral("the template cannot be copied: ") + copy.output;
    else if (m_port == 0)
        why = QStringLiteral("no free port");
    else
        why = appendTo(m_folder + QStringLiteral("/data/postgresql.conf"),
                       QStringLiteral("port = %1\nunix_socket_directories = %2\nlisten_addresses = ''\n")
                           .arg(m_port)
                           .arg(sqlText(m_folder)));
    if (why.isEmpty())
        why = startInFolder();
    if (!why.isEmpty())
        stop();
    return why;
}

QString PgServer::startInFolder()
{
    const QString log = m_folder + QStringLiteral("/server.log");
    const QString why = pgCtl(m_folder, {QStringLiteral("start"), QStringLiteral("-l"), log});
    m_running = why.isEmpty();
    return m_running ? QString() : why + u'\n' + logTail(log);
}

void PgServer::stop()
{
    if (m_folder.isEmpty())
        return;
    if (m_running)
        pgCtl(m_folder, {QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("immediate")});
    m_running = false;
    pg::removeFolder(m_folder);
    m_folder.clear();
    m_tls = false;
}

QString PgServer::restart(ShutdownMode mode)
{
    if (!m_running)
        return QStringLiteral("the server is not running");
    const QString why = pgCtl(m_folder, {QStringLiteral("stop"), QStringLiteral("-m"),
                                         mode == ShutdownMode::Fast ? QStringLiteral("fast")
                                                                    : QStringLiteral("immediate")});
    if (!why.isEmpty())
        return why;
    m_running = false;
    return startInFolder();
}

QString PgServer::pause()
{
    if (!m_running)
        return QStringLiteral("the server is not running");
    const QString why = pgCtl(m_folder, {QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("fast")});
    m_running = !why.isEmpty();
    return why;
}

QString PgServer::resume()
{
    if (m_folder.isEmpty())
        return QStringLiteral("the server was never started");
    return m_running ? QString() : startInFolder();
}

QString PgServer::conninfo(const QString& db, const QString& user) const
{
    return QStringList{keyword(QStringLiteral("host"), m_folder), keyword(QStringLiteral("port"), QString::number(m_port)),
                       keyword(QStringLiteral("dbname"), db), keyword(QStringLiteral("user"), user)}
        .join(u' ');
}

PgServer::Result PgServer::run(const QString& sql, const QString& db) const
{
    Result result;
    PGconn* connection = PQconnectdb(conninfo(db).toUtf8().constData());
    if (PQstatus(connection) != CONNECTION_OK) {
        result.error = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
        PQfinish(connection);
        return result;
    }
    PGresult* answer = PQexec(connection, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(answer);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        result.error = QString::fromUtf8(PQresultErrorMessage(answer)).trimmed();
    } else {
        QStringList rows;
        for (int row = 0; row < PQntuples(answer); ++row) {
            QStringList values;
            for (int column = 0; column < PQnfields(answer); ++column)
                values << (PQgetisnull(answer, row, column) ? QStringLiteral("NULL")
                                                            : QString::fromUtf8(PQgetvalue(answer, row, column)));
            rows << values.join(u'|');
        }
        result.rows = rows.join(QStringLiteral("; "));
    }
    PQclear(answer);
    PQfinish(connection);
    return result;
}

QString PgServer::createDatabase(const QString& name)
{
    return run(QStringLiteral("create database ") + sqlName(name)).error;
}

QString PgServer::dropDatabase(const QString& name)
{
    // Clients still connected to it are put out first.
    return run(QStringLiteral("drop database if exists %1 with (force)").arg(sqlName(name))).error;
}

QString PgServer::createRole(const QString& name, const QString& password, const QString& readOnlyOn)
{
    QString sql = QStringLiteral("create role %1 login").arg(sqlName(name));
    if (!password.isEmpty())
        sql += QStringLiteral(" password ") + sqlText(password);
    QString why = run(sql).error;
    if (!why.isEmpty() || readOnlyOn.isEmpty())
        return why;
    const QString role = sqlName(name);
    return run(QStringLiteral("grant connect on database %1 to %2;"
                              "grant usage on schema public to %2;"
                              "grant select on all tables in schema public to %2;"
                              "grant select on all sequences in schema public to %2;"
                              "alter default privileges in schema public grant select on tables to %2;"
                              "alter default privileges in schema public grant select on sequences to %2;")
                   .arg(sqlName(readOnlyOn), role),
               readOnlyOn)
        .error;
}

QString PgServer::caCertificate() const
{
    return m_folder + QStringLiteral("/ca/ca.crt");
}

QString PgServer::writeTlsFiles()
{
    const QString authority = m_folder + QStringLiteral("/ca");
    const QString data = m_folder + QStringLiteral("/data");
    QString why = makeCertificateAuthority(authority);
    if (why.isEmpty())
        why = makeLocalhostCertificate(authority, data);
    if (!why.isEmpty())
        return why;
    // The server reads its key only when no one else may.
    for (const QString& file : {QStringLiteral("/server.key"), QStringLiteral("/server.crt")}) {
        why = pg::giveToServerUser(data + file);
        if (!why.isEmpty())
            return why;
    }
    if (::chmod(QFile::encodeName(data + QStringLiteral("/server.key")).constData(), 0600) != 0)
        return QStringLiteral("the server's key cannot be made private");
    why = appendTo(data + QStringLiteral("/postgresql.conf"),
                   QStringLiteral("ssl = on\nssl_cert_file = 'server.crt'\nssl_key_file = 'server.key'\n"
                                  "listen_addresses = '127.0.0.1'\n"));
    if (why.isEmpty())
        why = appendTo(data + QStringLiteral("/pg_hba.conf"),
                       QStringLiteral("hostssl all all 127.0.0.1/32 scram-sha-256\n"));
    return why;
}

QString PgServer::enableTls()
{
    if (m_tls)
        return {};
    QString why = start();
    if (why.isEmpty())
        why = writeTlsFiles();
    const QString password = randomSecret();
    if (why.isEmpty())
        why = run(QStringLiteral("alter role postgres password ") + sqlText(password)).error;
    if (why.isEmpty())
        why = restart();
    m_tls = why.isEmpty();
    if (m_tls)
        m_superuserPassword = password;
    return why;
}

QString PgServer::tlsConninfo(const QString& db, const QString& user, const QString& password) const
{
    QStringList parts{keyword(QStringLiteral("host"), QStringLiteral("localhost")),
                      keyword(QStringLiteral("hostaddr"), QStringLiteral("127.0.0.1")),
                      keyword(QStringLiteral("port"), QString::number(m_port)), keyword(QStringLiteral("dbname"), db),
                      keyword(QStringLiteral("user"), user.isEmpty() ? QStringLiteral("postgres") : user)};
    const QString secret = user.isEmpty() ? m_superuserPassword : password;
    if (!secret.isEmpty())
        parts << keyword(QStringLiteral("password"), secret);
    parts << keyword(QStringLiteral("sslmode"), QStringLiteral("verify-full"))
          << keyword(QStringLiteral("sslrootcert"), caCertificate());
    return parts.join(u' ');
}

} // namespace testing_support
