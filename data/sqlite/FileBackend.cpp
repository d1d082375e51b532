#include "data/sqlite/FileBackend.h"

#include "data/Ledger.h"
#include "data/StoredFormat.h"
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

qint64 FileBackend::nextKey(const QString& table)
{
    const stored::RecordedTable* recorded = nullptr;
    for (const auto& known : stored::kRecordedTables) {
        if (table.compare(QLatin1String(known.name), Qt::CaseInsensitive) == 0)
            recorded = &known;
    }
    Q_ASSERT(recorded);
    if (!recorded)
        throw platform::DbError(QStringLiteral("The table '%1' numbers no rows.").arg(table));
    // Asked once the caller's transaction holds the file's write lock, so that nothing
    // else can number a row before it commits: the counter or the highest key, which
    // a row inserted with its key given may have passed.
    FileRows rows(QStringLiteral("select max(coalesce((select seq from sqlite_sequence where name = '%1'), 0), "
                                 "coalesce((select max(%2) from %1), 0)) as Highest")
                      .arg(QLatin1String(recorded->name), QLatin1String(recorded->key)),
                  m_connection);
    return (rows.eof() ? 0 : rows.value(rows.column(u"Highest")).toLongLong()) + 1;
}

} // namespace data::sqlite
