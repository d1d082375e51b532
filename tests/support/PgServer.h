#pragma once
// A real PostgreSQL 15 server of its own for tests and the benchmark, thrown away
// afterwards: a copy of a once-made template data folder in a temporary folder, its
// Unix socket in that folder and a port of its own (so several test binaries can run
// at once), no TCP until TLS is asked for. The process owning it stops it and removes
// its folder when it goes; what a crashed process left is removed by the next start
// (see PgFolders). Tests run as root here: the server then runs as `postgres`.
//
// Every call that can fail gives the reason, empty when it worked.

#include <QString>

namespace testing_support {

class PgServer {
public:
    // `baseFolder` holds the template and the servers; tests of the fixture itself
    // give a folder of their own.
    explicit PgServer(const QString& baseFolder = {});
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Starts the server (copying the template, made first when missing).
    QString start();
    // Stops the server at once and removes its folder.
    void stop();
    bool running() const { return m_running; }

    enum class ShutdownMode { Fast, Immediate };
    // Stops and starts the server again in the same folder on the same port: what a
    // client sees when the server restarts under it (Immediate: as after a crash).
    QString restart(ShutdownMode mode = ShutdownMode::Fast);
    // Stops the server, keeping its folder, until resume(): a server that is away.
    QString pause();
    QString resume();

    // The folder holding the server's socket, and its port.
    QString socketDir() const { return m_folder; }
    int port() const { return m_port; }
    // The server's data folder (its postmaster.pid, its settings).
    QString dataFolder() const { return m_folder + QStringLiteral("/data"); }
    // A libpq connection string for the database `db` over the socket, as `user`
    // (every role is let in over the socket without a password).
    QString conninfo(const QString& db, const QString& user = QStringLiteral("postgres")) const;

    QString createDatabase(const QString& name);
    QString dropDatabase(const QString& name);
    // A login role, with `password` when one is given. With `readOnlyOn`, it may
    // connect to that database and read every table and sequence of its public schema,
    // those the superuser makes there later included, and change nothing.
    QString createRole(const QString& name, const QString& password, const QString& readOnlyOn = {});

    // What a statement (or several, separated by semicolons) gave: the reason it
    // failed, or the last statement's rows, values joined by "|" and rows by "; ",
    // Null as "NULL".
    struct Result {
        QString error;
        QString rows;
        bool ok() const { return error.isEmpty(); }
    };
    Result run(const QString& sql, const QString& db = QStringLiteral("postgres")) const;

    // Makes a certificate authority and a certificate for "localhost" signed by it,
    // turns TLS on and lets password roles in over TLS on 127.0.0.1 (restarting the
    // server, starting it first when it is not running). The superuser gets a password.
    QString enableTls();
    // The file clients check the server's certificate against.
    QString caCertificate() const;
    // A libpq connection string over TLS to 127.0.0.1, checking the certificate and
    // the host name (verify-full). Without a user: the superuser with its password;
    // with one, `password` is given only when not empty.
    QString tlsConninfo(const QString& db, const QString& user = {}, const QString& password = {}) const;

private:
    QString startInFolder();
    QString writeTlsFiles();

    QString m_base;
    QString m_folder;
    QString m_superuserPassword;
    int m_port = 0;
    bool m_running = false;
    bool m_tls = false;
};

} // namespace testing_support
