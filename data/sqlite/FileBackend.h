#pragma once
// The ledger file in the data folder behind the windows' connection: the SQLite
// connection and its readers (Database.h) with the undo history that observes it.
// While open, it looks twice a second whether another process has committed to the
// file (another copy, the command line), and tells its owner as a server ledger tells
// of another desktop's change.

#include "data/Connection.h"
#include "data/UndoHistory.h"
#include "data/sqlite/Database.h"

#include <QTimer>

namespace data::sqlite {

class FileBackend final : public Backend {
public:
    FileBackend();
    void open(const QString& connectionString) override;
    bool isOpen() const override { return m_connection.State() == platform::Connection::adStateOpen; }
    void close() override
    {
        m_watch.stop();
        m_connection.Close();
    }
    long long execute(const QString& jetSql) override { return m_connection.Execute(jetSql); }
    std::unique_ptr<Rows> query(const QString& jetSql) override;
    qint64 nextKey(const QString& table) override;
    void setNextKey(const QString& table, qint64 next) override;
    void begin() override { m_connection.BeginTrans(); }
    void commit() override { m_connection.CommitTrans(); }
    void rollback() override { m_connection.RollbackTrans(); }
    bool inTransaction() const override { return m_connection.InTransaction(); }
    platform::FileProblem problem() const override { return m_connection.problem(); }
    QString problemMessage() const override { return m_connection.problemMessage(); }
    void setOwner(platform::ConnectionOwner owner) override
    {
        m_othersChanged = owner.othersChanged;
        m_connection.setOwner(std::move(owner));
    }
    void checkInBackground() override { m_connection.checkInBackground(); }
    void checkNow() override { m_connection.checkNow(); }
    void catchUpWithOthers() override;
    History* history() override { return &m_history; }
    std::vector<HistoryStep> exportHistory() override { return m_history.exportSteps(); }
    void importHistory(const std::vector<HistoryStep>& steps) override { m_history.importSteps(steps); }
    Capabilities capabilities() const override { return {.fileBackups = true, .liveChanges = true}; }
    QString title() const override { return {}; }

    platform::Connection& connection() { return m_connection; }
    UndoHistory& undoHistory() { return m_history; }

private:
    platform::Connection m_connection;
    UndoHistory m_history{m_connection};   // observes the connection, so goes first
    std::function<void()> m_othersChanged;
    QTimer m_watch;
};

} // namespace data::sqlite
