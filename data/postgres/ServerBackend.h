#pragma once
// A ledger on a PostgreSQL server behind the windows' connection.

#include "data/Connection.h"

namespace data::postgres {

class ServerBackend final : public Backend {
public:
    ServerBackend();
    ~ServerBackend() override;
    void open(const QString& connectionString) override;
    bool isOpen() const override { return false; }
    void close() override {}
    long long execute(const QString& jetSql) override;
    std::unique_ptr<Rows> query(const QString& jetSql) override;
    qint64 nextKey(const QString&) override { return 0; }
    void setNextKey(const QString&, qint64) override {}
    void begin() override;
    void commit() override;
    void rollback() override {}
    bool inTransaction() const override { return false; }
    platform::FileProblem problem() const override { return m_problem; }
    QString problemMessage() const override { return m_problemMessage; }
    void setOwner(platform::ConnectionOwner owner) override { m_owner = std::move(owner); }
    History* history() override { return nullptr; }
    Capabilities capabilities() const override { return {.fileBackups = false, .liveChanges = true}; }
    QString title() const override { return {}; }

private:
    platform::ConnectionOwner m_owner;
    platform::FileProblem m_problem = platform::FileProblem::None;
    QString m_problemMessage;
};

} // namespace data::postgres
