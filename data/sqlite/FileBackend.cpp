#include "data/sqlite/FileBackend.h"

#include "data/Ledger.h"
#include "data/Undo.h"

namespace data::sqlite {

namespace {
class FileRows final : public Rows {
public:
    FileRows(const QString& jetSql, platform::Connection& connection) { m_rs.Open(jetSql, connection); }
    bool eof() const override { return m_rs.eof(); }
    void next() override { m_rs.MoveNext(); }
    int column(QStringView name) const override { return m_rs.column(name); }
    QVariant value(int column) const override { return m_rs.valueAt(column); }

private:
    platform::Recordset m_rs;
};
} // namespace

FileBackend::FileBackend()
{
    m_history.setUnavailable([](const QString& reason) {
        tellUser(undoUnavailableMessage(workingDatabasePath(), reason));
    });
}

void FileBackend::open(const QString& connectionString)
{
    m_connection.Open(connectionString);
}

std::unique_ptr<Rows> FileBackend::query(const QString& jetSql)
{
    return std::make_unique<FileRows>(jetSql, m_connection);
}

} // namespace data::sqlite
