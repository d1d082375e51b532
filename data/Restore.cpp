#include "data/Restore.h"

#include "data/Backups.h"
#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "platform/Conversions.h"
#include "data/sqlite/DatabaseCopy.h"
#include "data/sqlite/FileAccess.h"
#include "data/StoredFormat.h"
#include "platform/UseLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <cstdio>

namespace data {

namespace {

// Why nothing was restored, for the user.
struct Refused {
    QString message;
};

// Moves a damaged ledger, and the log beside it, out of the way under a name no
// backup has; answers where it went.
QString setAside(const QString& ledger)
{
    QDir().mkpath(backupFolder(ledger));
    const QString aside = backupFolder(ledger) + u'/' + QFileInfo(ledger).completeBaseName()
        + QStringLiteral("-damaged-") + QDateTime::currentDateTime().toString(platform::stored::kBackupTimeFormat)
        + u'.' + QFileInfo(ledger).suffix();
    if (!QFile::rename(ledger, aside))
        throw Refused{restoreRefusal(QStringLiteral("The damaged ledger could not be moved to %1.")
                                         .arg(QDir::toNativeSeparators(aside)))};
    QFile::rename(ledger + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(ledger + QStringLiteral("-shm"));
    return aside;
}

// Puts a checked copy of `backup` in the ledger's place in one rename: at any moment
// the ledger is either the old file or the whole new one.
void replaceWith(const QString& backup, const QString& ledger)
{
    const QString incoming = ledger + QStringLiteral(".restoring");
    QFile::remove(incoming);
    QString problem;
    try {
        platform::copyDatabase(backup, incoming);
        if (const platform::LedgerCheck check = platform::checkLedger(incoming); check.problem != platform::FileProblem::None)
            problem = check.detail.isEmpty() ? QStringLiteral("The copy is no ledger.") : check.detail;
    } catch (const platform::CopyError& e) {
        problem = QString::fromUtf8(e.what());
    }
    if (!problem.isEmpty()) {
        QFile::remove(incoming);
        throw Refused{restoreRefusal(problem)};
    }
    // A log left beside the old file would be read into the new one.
    QFile::remove(ledger + QStringLiteral("-wal"));
    QFile::remove(ledger + QStringLiteral("-shm"));
    if (std::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(ledger).constData()) != 0) {
        QFile::remove(incoming);
        throw Refused{restoreRefusal(QStringLiteral("The ledger could not be replaced."))};
    }
}

// Why a backup that fails the ledger's check cannot be restored; "" when it passes.
QString refusalOf(const QString& backup)
{
    using platform::FileProblem;
    const platform::LedgerCheck check = platform::checkLedger(backup);
    switch (check.problem) {
    case FileProblem::None:
        return {};
    case FileProblem::Damaged:
        return damagedBackupMessage(backup, check.detail);
    case FileProblem::NewerVersion:
        return notABackupMessage(backup, QStringLiteral("It was saved by a newer version of Tallyfold, in stored "
                                                        "format %1; this version reads formats up to %2.")
                                             .arg(check.detail, QString::number(data::stored::kLedgerVersion)));
    default:
        return notABackupMessage(backup, QStringLiteral("It is no Tallyfold ledger: it holds no accounts and "
                                                        "transactions."));
    }
}

} // namespace

std::vector<BackupEntry> listBackups()
{
    std::vector<BackupEntry> entries;
    for (const Backup& backup : backupsOf(workingDatabasePath())) {
        entries.push_back({backup.path, backup.taken, QFileInfo(backup.path).size(),
                           platform::countRows(backup.path, data::stored::kTransactionsTable)});
    }
    return entries;
}

QString backupTimeText(const QDateTime& taken)
{
    const QLocale locale;
    // The long time format, for the seconds, less its time zone ("t").
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    const QString timeFormat = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    return locale.toString(taken.date(), platform::shortDateFormat(locale)) + u' ' + locale.toString(taken.time(), timeFormat);
}

QString describeBackup(const BackupEntry& backup)
{
    QString text = QStringLiteral("the backup of ") + backupTimeText(backup.taken);
    if (backup.transactions)
        text += QStringLiteral(" (%1 %2)").arg(QLocale().toString(*backup.transactions),
                                             *backup.transactions == 1 ? QStringLiteral("transaction")
                                                                       : QStringLiteral("transactions"));
    return text;
}

RestoreOutcome restoreBackup(const BackupEntry& entry)
{
    const QString ledger = workingDatabasePath();
    // Checked as the ledger is at its opening, before anything is replaced.
    if (const QString refusal = refusalOf(entry.path); !refusal.isEmpty())
        return {false, refusal};

    data::Connection& shared = connection();
    const bool damaged = ledgerProblem() == platform::FileProblem::Damaged;
    // Alone with the ledger, or nothing is replaced: another copy of the program still
    // holding it would go on writing to a file that is no longer the ledger.
    platform::UseLock alone(ledger);
    QString keptAs, damagedAs, unnoted;
    try {
        try {
            // Let go of the ledger: a sound one is whole in its file once the last
            // connection to it has closed.
            shared.Close();
        } catch (const platform::DbError& e) {
            throw Refused{restoreRefusal(QStringLiteral("The ledger could not be closed: %1").arg(e.description()))};
        }
        if (!alone.takeAlone() || (!damaged && platform::hasLog(ledger)))
            throw Refused{ledgerInUseRefusal()};
        const BackupResult before = damaged ? BackupResult{BackupResult::Damaged, {}, {}}
                                            : backUpBeforeRestore(ledger, entry.path);
        switch (before.kind) {
        case BackupResult::Made:
        case BackupResult::Unchanged:
            keptAs = before.backup;
            unnoted = before.problem;
            break;
        case BackupResult::Damaged:
        case BackupResult::NotALedger:
            damagedAs = setAside(ledger);
            break;
        case BackupResult::Failed:
            throw Refused{restoreRefusal(QStringLiteral("The ledger as it is now could not be backed up first: %1")
                                             .arg(before.problem))};
        case BackupResult::NoLedger:
            break;
        }
        replaceWith(entry.path, ledger);
    } catch (const Refused& refused) {
        // Nothing restored: the program goes on with the ledger it had.
        alone.release();
        if (!damagedAs.isEmpty() && !QFileInfo::exists(ledger)) {
            QFile::rename(damagedAs, ledger);
            QFile::rename(damagedAs + QStringLiteral("-wal"), ledger + QStringLiteral("-wal"));
        }
        QString message = refused.message;
        try {
            shared.Open(connectionString());
        } catch (const platform::DbError& e) {
            message += QStringLiteral("\r\n\r\nThe ledger could not be opened again: %1").arg(e.description());
        }
        return {false, message};
    }
    alone.release();
    shared.Open(connectionString());
    std::optional<QDateTime> keptTime;
    if (!keptAs.isEmpty())
        keptTime = backupTime(QFileInfo(keptAs).fileName());
    QString message = restoredMessage(describeBackup(entry), keptTime ? backupTimeText(*keptTime) : QString(), damagedAs);
    if (!unnoted.isEmpty())
        message += QStringLiteral("\r\n\r\n") + backupUnnotedMessage(backupFolder(ledger), unnoted);
    return {true, message};
}

} // namespace data
