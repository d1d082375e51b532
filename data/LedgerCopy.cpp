#include "data/LedgerCopy.h"

#include "data/Connection.h"
#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "data/SqlLiteral.h"
#include "data/sqlite/Database.h"
#include "platform/Conversions.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <vector>

namespace data {

namespace {

// Rows a statement, as the import writes them: a few hundred statements for a large ledger.
constexpr int kRowsAStatement = 500;

struct CopiedTable {
    const char* name;
    const char* key;
    QStringList columns;
};

const CopiedTable kTables[] = {
    {"Accounts", "AccountID", {QStringLiteral("AccountID"), QStringLiteral("AccountName")}},
    {"Transactions",
     "TransactionNumber",
     {QStringLiteral("TransactionNumber"), QStringLiteral("TransactionDate"), QStringLiteral("TransactionDescription"),
      QStringLiteral("AccountID"), QStringLiteral("WithdrawalAmount"), QStringLiteral("DepositAmount"),
      QStringLiteral("Taxable")}},
    {"ImportKeys",
     "ImportKeyID",
     {QStringLiteral("ImportKeyID"), QStringLiteral("AccountID"), QStringLiteral("ImportKey"), QStringLiteral("KeyDate"),
      QStringLiteral("KeyCents"), QStringLiteral("TransactionNumber")}},
};

bool isServerSide(const QString& side)
{
    return side.startsWith(QStringLiteral("postgresql://")) || side.startsWith(QStringLiteral("postgres://"))
        || side.contains(u'=');
}

[[noreturn]] void refuse(const QString& message)
{
    throw platform::DbError(message);
}

qint64 copyTable(Connection& from, Connection& to, const CopiedTable& table)
{
    Recordset rs;
    rs.Open(QStringLiteral("select %1 from %2 order by %3").arg(table.columns.join(u','), QString::fromLatin1(table.name),
                                                                 QString::fromLatin1(table.key)),
            from);
    const QString head = QStringLiteral("insert into %1 (%2) values ").arg(QString::fromLatin1(table.name),
                                                                          table.columns.join(u','));
    QStringList rows;
    qint64 copied = 0;
    const auto flush = [&] {
        if (!rows.isEmpty())
            to.Execute(head + rows.join(u','));
        rows.clear();
    };
    for (; !rs.eof(); rs.MoveNext()) {
        QStringList values;
        for (const QString& column : table.columns)
            values << sql::valueLiteral(rs.Fields(column).Value());
        rows << u'(' + values.join(u',') + u')';
        ++copied;
        if (rows.size() == kRowsAStatement)
            flush();
    }
    flush();
    return copied;
}

// Whether an open ledger holds nothing at all, no row and no undo step: a server
// database made a ledger just now (--create-ledger), or by a copy that failed.
bool holdsNothing(Connection& ledger)
{
    for (const CopiedTable& table : kTables) {
        Recordset rs;
        rs.Open(QStringLiteral("select count(*) as N from %1").arg(QString::fromLatin1(table.name)), ledger);
        if (!rs.eof() && rs.Fields(u"N").Value().toLongLong() > 0)
            return false;
    }
    return ledger.backend()->exportHistory().empty();
}

// The number each table's next row gets, read before anything is written. On a server a
// counter is a sequence: a role may read the rows and still not the sequences.
std::vector<qint64> countersOf(Connection& ledger)
{
    std::vector<qint64> next;
    for (const CopiedTable& table : kTables) {
        try {
            next.push_back(ledger.nextKey(QString::fromLatin1(table.name)));
        } catch (const platform::FileRefusal&) {
            throw;
        } catch (const platform::DbError& e) {
            refuse(QStringLiteral("The ledger's counters (the number the next %1 row gets) cannot be read: %2\r\n"
                                  "A login role that copies a ledger needs the right to read its sequences as well "
                                  "as its tables (grant select on all sequences).")
                       .arg(QString::fromLatin1(table.name), QString::fromUtf8(e.what())));
        }
    }
    return next;
}

} // namespace

QString copySideConnectionString(const QString& side)
{
    if (side.compare(QStringLiteral("file"), Qt::CaseInsensitive) == 0)
        return fileConnectionString(workingDatabasePath());
    if (isServerSide(side))
        return serverConnectionString(side);
    return fileConnectionString(QFileInfo(side).absoluteFilePath());
}

CopyCount copyLedger(const QString& from, const QString& to)
{
    if (!isServerConnectionString(from)) {
        const QFileInfo file(platform::dataSourceOf(from));
        if (file.isFile() && file.size() == 0)
            refuse(QStringLiteral("%1 is empty (0 bytes): it holds no ledger to copy.").arg(file.filePath()));
    }
    Connection source;
    source.setOwner({.describe = problemMessage, .tell = tellUser});
    source.Open(from);
    const std::vector<qint64> counters = countersOf(source);

    // The target: a new file made from the empty template, or a server database made a
    // ledger now (or one that holds nothing yet). One that holds a ledger is never written.
    bool made = false;
    QString madeFile;
    Connection target;
    target.setOwner({.describe = problemMessage,
                     .tell = tellUser,
                     .createLedger = [&made](const QString&) { return made = true; }});
    if (!isServerConnectionString(to)) {
        const QString file = platform::dataSourceOf(to);
        const QFileInfo info(file);
        if (info.exists() && !(info.isFile() && info.size() == 0))
            refuse(QStringLiteral("%1 exists already: a ledger is copied only into a new file.").arg(file));
        QFile::remove(file);
        if (!QFile::copy(templatePath(), file))
            refuse(QStringLiteral("%1 could not be made from the empty ledger %2.").arg(file, templatePath()));
        QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        madeFile = file;
        made = true;
    }
    CopyCount count;
    try {
        target.Open(to);
        // A ledger made empty before (--create-ledger, or a copy that failed) takes the copy.
        if (!made && !holdsNothing(target))
            refuse(QStringLiteral("The server database %1 holds a ledger already: a ledger is copied only into an "
                                  "empty database.").arg(target.title()));
        target.BeginTrans();
        count.accounts = copyTable(source, target, kTables[0]);
        count.transactions = copyTable(source, target, kTables[1]);
        count.importKeys = copyTable(source, target, kTables[2]);
        for (std::size_t i = 0; i < std::size(kTables); ++i)
            target.setNextKey(QString::fromLatin1(kTables[i].name), counters[i]);
        // The steps' images hold the rows as the copy now has them: undo finds them so.
        const std::vector<HistoryStep> steps = source.backend()->exportHistory();
        target.backend()->importHistory(steps);
        count.steps = qint64(steps.size());
        target.CommitTrans();
        target.Close();
    } catch (...) {
        target.RollbackTrans();
        target.Close();
        if (!madeFile.isEmpty())
            QFile::remove(madeFile);
        throw;
    }
    return count;
}

} // namespace data
