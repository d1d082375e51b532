#include "data/LedgerMessages.h"

#include "data/StoredFormat.h"

#include <QDir>

namespace data {

QString problemMessage(platform::FileProblem problem, const QString& file, const QString& detail)
{
    using platform::FileProblem;
    const QString where = QDir::toNativeSeparators(file);
    switch (problem) {
    case FileProblem::Damaged:
        return QStringLiteral("The ledger file is damaged:\r\n%1\r\n\r\nTallyfold will not write anything more to it. "
                              "The list shows what can still be read, which may not be everything, and every "
                              "change is refused. Keep a copy of the file and restore your latest backup.\r\n\r\n"
                              "(%2)")
            .arg(where, detail);
    case FileProblem::NotALedger:
        return QStringLiteral("This file is not a Tallyfold ledger:\r\n%1\r\n\r\nIt holds no accounts and "
                              "transactions. Tallyfold has left it unchanged and will not write to it.")
            .arg(where);
    case FileProblem::NewerVersion:
        return QStringLiteral("The ledger file was saved by a newer version of Tallyfold:\r\n%1\r\n\r\n"
                              "Its stored format is %2; this version reads formats up to %3. Tallyfold has left "
                              "the file unchanged; open it with the newer version.")
            .arg(where, detail, QString::number(data::stored::kLedgerVersion));
    case FileProblem::CannotUpgrade:
        return QStringLiteral("The ledger file could not be brought up to date:\r\n%1\r\n\r\nTallyfold has left "
                              "it unchanged and will not write to it.\r\n\r\n(%2)")
            .arg(where, detail);
    case FileProblem::ReadOnly:
        return QStringLiteral("The ledger can only be read where it is:\r\n%1\r\n\r\nThe file or its folder cannot be "
                              "written, or the disk has no room left. The list shows every transaction, but every change "
                              "is refused and no backup is made until it can be written again.\r\n\r\n(%2)")
            .arg(where, detail);
    case FileProblem::Replaced:
        return QStringLiteral("The ledger file has been replaced or removed by another program while Tallyfold had "
                              "it open:\r\n%1\r\n\r\nThis change was not made, and no other will be, so that "
                              "nothing is written to a file that is no longer the ledger. Close Tallyfold and start "
                              "it again to work on the ledger as it is now.")
            .arg(where);
    case FileProblem::Away:
        return QStringLiteral("The ledger's server cannot be reached:\r\n%1\r\n\r\nThe list shows the ledger as it "
                              "was last read, and every change is refused until the server is back. Tallyfold "
                              "connects again by itself and then reloads the list.\r\n\r\n(%2)")
            .arg(file, detail);
    case FileProblem::None:
        break;
    }
    return {};
}

QString serverNotOpenedMessage(const QString& ledger, const QString& detail)
{
    return QStringLiteral("The ledger %1 could not be opened: its server cannot be reached or refused the "
                          "connection.\r\n\r\nCheck what --ledger names (host, database, user, password, "
                          "certificate), then start Tallyfold again.\r\n\r\n(%2)")
        .arg(ledger, detail);
}

QString unreadableConninfoMessage(const QString& detail)
{
    return QStringLiteral("The server ledger named could not be opened: the text naming it cannot be read as a "
                          "connection (%1).\r\n\r\nTallyfold has kept nothing of it. Check what --ledger names, "
                          "then start Tallyfold again.")
        .arg(detail);
}

QString serverProblemMessage(platform::FileProblem problem, const QString& ledger, const QString& detail)
{
    using platform::FileProblem;
    switch (problem) {
    case FileProblem::NotALedger:
        return QStringLiteral("The database %1 is not a Tallyfold ledger: %2\r\n\r\nTallyfold has left it unchanged "
                              "and will not write to it.")
            .arg(ledger, detail);
    case FileProblem::NewerVersion:
        return QStringLiteral("The ledger %1 was made by a newer version of Tallyfold.\r\n\r\nIts stored format is %2; "
                              "this version reads formats up to %3. Tallyfold has left the ledger unchanged; open "
                              "it with the newer version.")
            .arg(ledger, detail, QString::number(data::stored::kLedgerVersion));
    case FileProblem::CannotUpgrade:
        return QStringLiteral("The ledger %1 could not be brought up to date.\r\n\r\nTallyfold has left it unchanged "
                              "and will not write to it.\r\n\r\n(%2)")
            .arg(ledger, detail);
    case FileProblem::ReadOnly:
        return QStringLiteral("The ledger %1 can only be read: the server lets your login role change nothing in "
                              "it. The list shows every transaction, but every change is refused.\r\n\r\n(%2)")
            .arg(ledger, detail);
    case FileProblem::Away:
        return QStringLiteral("The ledger's server cannot be reached:\r\n%1\r\n\r\nThe list shows the ledger as it "
                              "was last read, and every change is refused until the server is back. Tallyfold "
                              "connects again by itself and then reloads the list.\r\n\r\n(%2)")
            .arg(ledger, detail);
    case FileProblem::Damaged:
    case FileProblem::Replaced:
    case FileProblem::None:
        break;
    }
    return {};
}

QString serverBackMessage(const QString& ledger)
{
    return QStringLiteral("The ledger's server can be reached again:\r\n%1\r\n\r\nTallyfold has connected again and "
                          "reads the list anew. A change refused while the server was away was not made.")
        .arg(ledger);
}

QString serverBackupsMessage(const QString& ledger)
{
    return QStringLiteral("The ledger %1 is kept on a PostgreSQL server, which keeps its backups: Tallyfold makes "
                          "none of its own here.\r\n\r\nTo restore one, ask whoever runs the server (a backup made "
                          "with pg_dump goes back with pg_restore or psql). To keep a copy of your own, run:\r\n"
                          "tallyfold --copy-ledger \"<its conninfo>\" /path/to/copy.mdb")
        .arg(ledger);
}

QString createLedgerQuestion(const QString& ledger)
{
    const qsizetype on = ledger.lastIndexOf(QStringLiteral(" on "));
    const QString database = on < 0 ? ledger : ledger.left(on);
    const QString host = on < 0 ? QString() : ledger.mid(on + 4);
    return QStringLiteral("Create a new Tallyfold ledger in database %1 on %2?").arg(database, host);
}

QString passwordPrompt(const QString& ledger)
{
    return QStringLiteral("The server asks for a password to open the ledger %1.\r\n\r\nPassword:").arg(ledger);
}

QString emptyDatabaseDetail()
{
    return QStringLiteral("it is empty, and no ledger was made in it.");
}

QString otherTablesDetail()
{
    return QStringLiteral("it holds other tables, but no ledger. Choose a database of its own for the ledger.");
}

QString serverNoRightsMessage(const QString& ledger)
{
    return QStringLiteral("The ledger %1 could not be opened: the server gives your login role no right to read it."
                          "\r\n\r\nAsk the ledger's owner for the rights a reader needs (select on its tables and "
                          "sequences), then start Tallyfold again. Tallyfold has left the ledger unchanged.")
        .arg(ledger);
}

QString alreadyDeletedMessage(const QString& transactionNumber)
{
    return QStringLiteral("Transaction %1 had already been deleted, on another desktop or by another program. "
                          "Nothing was changed.")
        .arg(transactionNumber);
}

QString uncertainChangeMessage(std::optional<bool> landed)
{
    if (!landed)
        return QStringLiteral("Whether the change made as the server went away was saved cannot be told. Look for it "
                              "in the list, and make it again if it is not there.");
    return *landed ? QStringLiteral("The change made as the server went away was saved all the same.")
                   : QStringLiteral("The change made as the server went away was not saved. Make it again.");
}

QString rolledBackMessage()
{
    return QStringLiteral("The server refused the change as it was saved, and undid it: nothing of it was saved.");
}

QString lostTransactionMessage()
{
    return QStringLiteral("The connection to the ledger's server was lost during this change, so part of it is "
                          "gone: nothing of it will be saved. Make the change again.");
}

QString missingTablesDetail(const QStringList& tables)
{
    return QStringLiteral("it is only part of one: the table%1 %2 %3 missing. Tallyfold does not make them again over "
                          "what is left: restore the database from its backup, or make the ledger in a new, "
                          "empty database.")
        .arg(tables.size() == 1 ? QString() : QStringLiteral("s"), tables.join(QStringLiteral(", ")),
             tables.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

QString noLedgerMadeDetail(const QString& why)
{
    return QStringLiteral("it is empty, and the server would not let a ledger be made in it (%1). The database's "
                          "owner can make it one, or let your login role create tables there.")
        .arg(why);
}

QString serverProblemNote(platform::FileProblem problem)
{
    using platform::FileProblem;
    switch (problem) {
    case FileProblem::ReadOnly:
        return QStringLiteral(" - read-only: your role may only read, changes are refused");
    case FileProblem::Away:
        return problemNote(problem);
    case FileProblem::None:
        return {};
    default:
        return QStringLiteral(" - ledger not opened: the list is empty");
    }
}

QString problemNote(platform::FileProblem problem)
{
    using platform::FileProblem;
    switch (problem) {
    case FileProblem::Damaged:
        return QStringLiteral(" - ledger file damaged: read-only, the list may be incomplete");
    case FileProblem::NotALedger:
    case FileProblem::NewerVersion:
    case FileProblem::CannotUpgrade:
        return QStringLiteral(" - ledger file not opened: the list is empty");
    case FileProblem::ReadOnly:
        return QStringLiteral(" - ledger file read-only: changes are refused");
    case FileProblem::Replaced:
        return QStringLiteral(" - ledger file replaced: changes are refused, start Tallyfold again");
    case FileProblem::Away:
        return QStringLiteral(" - server not reachable: changes are refused, reconnecting");
    case FileProblem::None:
        break;
    }
    return {};
}

QString backupFailureMessage(const QString& folder, const QString& problem)
{
    return QStringLiteral("Tallyfold could not make a backup of the ledger in\r\n%1\r\n\r\n%2\r\n\r\n"
                          "The ledger itself is unchanged, and Tallyfold goes on without a new backup.")
        .arg(QDir::toNativeSeparators(folder), problem);
}

QString backupUnnotedMessage(const QString& folder, const QString& problem)
{
    return QStringLiteral("Tallyfold made a backup of the ledger in\r\n%1\r\n\r\nbut could not note what it was "
                          "made from, so the next start makes another one.\r\n\r\n%2")
        .arg(QDir::toNativeSeparators(folder), problem);
}

QString restoreQuestion(const QString& backup)
{
    return QStringLiteral("Restore %1?\r\n\r\nIt takes the place of the ledger as it is now, "
                          "which is backed up first.").arg(backup);
}

QString noBackupsMessage(const QString& folder)
{
    return QStringLiteral("There is no backup of the ledger yet in\r\n%1").arg(QDir::toNativeSeparators(folder));
}

QString restoredMessage(const QString& backup, const QString& keptAs, const QString& damagedAs)
{
    QString text = QStringLiteral("The ledger has been restored from %1.").arg(backup);
    if (!keptAs.isEmpty())
        text += QStringLiteral("\r\n\r\nThe ledger as it was before is kept in the backup of %1.").arg(keptAs);
    if (!damagedAs.isEmpty())
        text += QStringLiteral("\r\n\r\nThe damaged ledger has been kept as\r\n%1").arg(QDir::toNativeSeparators(damagedAs));
    return text;
}

QString ledgerInUseRefusal()
{
    return restoreRefusal(QStringLiteral("Another copy of Tallyfold, or another program, has the ledger open. "
                                         "Close it, then restore again."));
}

QString notABackupMessage(const QString& path, const QString& problem)
{
    return QStringLiteral("This file is no backup Tallyfold can restore:\r\n%1\r\n\r\nThe ledger is as it was."
                          "\r\n\r\n(%2)").arg(QDir::toNativeSeparators(path), problem);
}

QString restoreRefusal(const QString& problem)
{
    return QStringLiteral("Nothing was restored: %1\r\n\r\nThe ledger is as it was.").arg(problem);
}

QString damagedBackupMessage(const QString& path, const QString& problem)
{
    return QStringLiteral("This backup is damaged and cannot be restored:\r\n%1\r\n\r\nThe ledger is as it was."
                          "\r\n\r\n(%2)").arg(QDir::toNativeSeparators(path), problem);
}

QString changedByAnotherProgram()
{
    return QStringLiteral("by another program");
}

QString changedByAnotherCopy()
{
    return QStringLiteral("by another copy of Tallyfold or another program");
}

QString changedOnDesktop(const QString& desktop)
{
    // "ben@kitchen/ben": the login role at the computer is what people call a desktop;
    // the computer's own user adds only when it is not the role.
    const QString where = desktop.section(u'/', 0, 0);
    const QString user = desktop.section(u'/', 1);
    const bool userSays = !user.isEmpty() && user != where.section(u'@', 0, 0);
    return QStringLiteral("on the desktop %1").arg(userSays ? desktop : where);
}

QString undoConflictMessage(const QString& label, const QString& table, qint64 key, bool redo, const QString& changedBy)
{
    const auto is = [&](const char* name) { return table.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    const QString row = is(data::stored::kAccountsTable)     ? QStringLiteral("account %1").arg(key)
                      : is(data::stored::kImportKeysTable) ? QStringLiteral("the import key %1").arg(key)
                                                                : QStringLiteral("transaction %1").arg(key);
    return QStringLiteral("\"%1\" cannot be %2: %3 has been changed since %4.\r\n\r\n"
                          "Nothing was changed. The step has been taken out of the undo history.")
        .arg(label, redo ? QStringLiteral("redone") : QStringLiteral("undone"), row, changedBy);
}

} // namespace data
