#include "data/sqlite/FileBackend.h"

#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "data/Undo.h"

namespace data::sqlite {

namespace {
// How often the file is looked at for others' commits: a reading of SQLite's data
// version, which costs next to nothing.
constexpr int kWatchMs = 500;

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
    m_watch.setInterval(kWatchMs);
    m_watch.callOnTimeout([this] { catchUpWithOthers(); });
}

void FileBackend::catchUpWithOthers()
{
    if (m_othersChanged && m_connection.othersCommitted())
        m_othersChanged();
}

void FileBackend::open(const QString& connectionString)
{
    m_connection.Open(connectionString);
    if (m_othersChanged)
        m_watch.start();
}

std::unique_ptr<Rows> FileBackend::query(const QString& jetSql)
{
    return std::make_unique<FileRows>(jetSql, m_connection);
}

qint64 FileBackend::nextKey(const QString& table)
{
    // The counter, or the highest key where a row was numbered by hand past it. A caller
    // in a transaction holds the file's write lock: nothing else numbers a row meanwhile.
    const QString name = sql::quoted(table);
    FileRows rows(QStringLiteral("select max(coalesce((select seq from sqlite_sequence where name = '%1'), 0), "
                                 "coalesce((select max(rowid) from %2), 0)) as Highest").arg(name, table),
                  m_connection);
    return (rows.eof() ? 0 : rows.value(0).toLongLong()) + 1;
}

void FileBackend::setNextKey(const QString& table, qint64 next)
{
    const QString name = sql::quoted(table);
    const QString highest = QStringLiteral("max(%1, coalesce((select max(rowid) from %2), 0))")
                                .arg(QString::number(next - 1), table);
    if (m_connection.Execute(QStringLiteral("update sqlite_sequence set seq = %1 where name = '%2'").arg(highest, name)) == 0)
        m_connection.Execute(QStringLiteral("insert into sqlite_sequence (name, seq) values ('%1', %2)").arg(name, highest));
}

} // namespace data::sqlite
