#pragma once
// A ledger on a PostgreSQL server behind the windows' connection, shared live by
// several desktops. Writes go through one connection, the writer (each statement in a
// transaction of its own unless the caller's BeginTrans is pending); each query reads
// on a reader connection of its own, in a snapshot taken when it opens; a third
// connection listens for other desktops' commits. The report's table is the writer's
// own temporary table, so two people printing never see each other's rows.

#include "data/Connection.h"

#include <memory>
#include <optional>

struct pg_conn;

namespace data::postgres {

class Listener;
struct ConnectionFree;
class PgSession;
class Reconnector;
class ReaderPool;
class ServerHistory;
class Session;

class ServerBackend final : public Backend {
public:
    ServerBackend();
    ~ServerBackend() override;
    // Opens the ledger: one older than this version is brought up to date, a newer one
    // refused untouched; an empty database becomes a ledger when the owner says so
    // (createLedger); a database holding other tables is refused. A login role that
    // may only read opens read-only, the owner told once.
    void open(const QString& connectionString) override;
    bool isOpen() const override { return m_writer != nullptr; }
    void close() override;
    long long execute(const QString& jetSql) override;
    std::unique_ptr<Rows> query(const QString& jetSql) override;
    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    platform::FileProblem problem() const override { return m_problem; }
    QString problemMessage() const override { return m_problemMessage; }
    void setOwner(platform::ConnectionOwner owner) override { m_owner = std::move(owner); }
    History* history() override;
    // Every desktop's steps; copied in, the steps a file kept become this desktop's.
    std::vector<HistoryStep> exportHistory() override;
    void importHistory(const std::vector<HistoryStep>& steps) override;
    Capabilities capabilities() const override { return {.fileBackups = false, .liveChanges = true}; }
    QString title() const override { return m_title; }
    qint64 nextKey(const QString& table) override;
    void setNextKey(const QString& table, qint64 next) override;

    // The writer, for the parts of the back end that write beside the windows'
    // statements (the ledger copy); nullptr while closed.
    Session* session();
    // Who this desktop is to the others: "<login role>@<client host name>/<OS user>",
    // as the undo history records it; "" while closed.
    QString desktop() const;

private:
    void prepareLedger();
    void startSession();
    // The writer's temporary report table, the readers and the listener, on the writer
    // just connected; answers whether the login role may change the ledger.
    bool setUpSession();
    void reconnected(std::unique_ptr<pg_conn, ConnectionFree> connection);
    // Goes on over a new connection after the server was away; false when it failed.
    bool resume(std::unique_ptr<pg_conn, ConnectionFree> connection);
    // Whether the commit the server went away during landed (nullopt: not known).
    std::optional<bool> settledCommit();
    // The same for a program without an event loop: connects again now, waiting up to
    // kSettleSeconds for the server to be back.
    std::optional<bool> settleCommitHere();
    static constexpr int kSettleSeconds = 30;
    // Whether the writer still serves: connected, answering, and in the transaction
    // this back end believes it in. Only a writer that does not is replaced.
    bool writerServes();
    // The readers and the listener, over `listening` for the listener.
    void startReaders(std::unique_ptr<pg_conn, ConnectionFree> listening);
    void adoptWriter(std::unique_ptr<pg_conn, ConnectionFree> connection);
    [[noreturn]] void refuse(platform::FileProblem problem, const QString& detail);
    [[noreturn]] void refuseWith(platform::FileProblem problem, const QString& message);
    void setProblem(platform::FileProblem problem, const QString& message);
    // The server has gone: every write is refused from now on. `tell`: the user hears
    // of it here (a refused write tells by its refusal instead). Answers the message.
    QString lost(const QString& detail, bool tell);
    void refuseWrites();
    // A caller's transaction that lost a statement (the server away, its connection
    // gone) refuses every statement until the caller rolls it back.
    void refuseLostTransaction() const;
    void loseTransaction();
    // Ends the writer's transaction with a rollback; a rollback that fails leaves the
    // writer in a state nobody knows, so the session is given up and made again.
    void rollbackWriter();
    // Commits the writer's transaction; answers whether it committed (false: a failure
    // had ended it, and it rolled back).
    bool commitWriter();
    // Rows for the report table inside a caller's transaction are gathered into one
    // insert of many rows: a report of 100,000 rows would otherwise make as many round
    // trips. Whatever else the connection is asked first sends them; a batch that fails
    // rolls the transaction back and fails that call.
    bool gatherReportRow(const QByteArray& sql);
    void sendReportRows();
    void dropReportRows();
    static constexpr int kReportRowsAStatement = 1000;
    QByteArray m_reportHead;
    QByteArray m_reportRows;
    int m_reportCount = 0;
    QByteArray keyOf(const QString& table, QByteArray& name) const;
    QByteArray translated(const QString& jetSql) const;
    // Where the undo history takes part in a write's transaction: entered just before
    // the ledger statement runs in it, left once it committed or rolled back.
    void enterWrite();
    void leftWrite(bool committed);

    platform::ConnectionOwner m_owner;
    platform::FileProblem m_problem = platform::FileProblem::None;
    QString m_problemMessage;
    QString m_conninfo;
    // The one host and port of m_conninfo's the writer reached: the readers and the
    // listener connect there, not through every host listed before it.
    QString m_sameServer;
    QString m_title;
    std::unique_ptr<PgSession> m_writer;
    std::shared_ptr<ReaderPool> m_readers;
    std::unique_ptr<Listener> m_listener;
    std::unique_ptr<ServerHistory> m_history;   // holds m_writer's session
    // While the server is away: connecting again (kept once it got through, until the
    // next time).
    std::unique_ptr<Reconnector> m_reconnect;
    platform::FileProblem m_beforeAway = platform::FileProblem::None;
    QString m_problemMessageBeforeAway;
    // The transaction whose commit the server went away during ("" when none).
    QByteArray m_uncertainCommit;
    // The caller's transaction (BeginTrans up to CommitTrans or RollbackTrans): Lost once
    // a statement of it was lost or refused, though the server may have kept the rest.
    enum class Transaction { None, Open, Lost } m_transaction = Transaction::None;
};

} // namespace data::postgres
