#include "data/Restore.h"

#include "data/Backups.h"
#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "platform/Conversions.h"
#include "data/sqlite/DatabaseCopy.h"
#include "data/sqlite/FileAccess.h"
#include "data/StoredFormat.h"

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
        problem = platform::quickCheck(incoming);
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
    if (const QString problem = platform::quickCheck(entry.path); !problem.isEmpty())
        return {false, damagedBackupMessage(entry.path, problem)};

    platform::Connection& shared = connection();
    const bool damaged = ledgerProblem() == platform::FileProblem::Damaged;
    // Let go of the ledger: a sound one is whole in its file once closed.
    shared.Close();
    QString keptAs, damagedAs;
    try {
        if (!damaged && platform::hasLog(ledger))
            throw Refused{restoreRefusal(QStringLiteral("Another program is using the ledger."))};
        const BackupResult before = damaged ? BackupResult{BackupResult::Damaged, {}, {}} : backUp(ledger);
        switch (before.kind) {
        case BackupResult::Made:
        case BackupResult::Unchanged:
            keptAs = before.backup;
            break;
        case BackupResult::Damaged:
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
        if (!damagedAs.isEmpty() && !QFileInfo::exists(ledger)) {
            QFile::rename(damagedAs, ledger);
            QFile::rename(damagedAs + QStringLiteral("-wal"), ledger + QStringLiteral("-wal"));
        }
        if (QFileInfo::exists(ledger)) {
            try {
                shared.Open(connectionString());
            } catch (const std::exception&) {
            }
        }
        return {false, refused.message};
    }
    shared.Open(connectionString());
    std::optional<QDateTime> keptTime;
    if (!keptAs.isEmpty())
        keptTime = backupTime(QFileInfo(keptAs).fileName());
    return {true, restoredMessage(describeBackup(entry), keptTime ? backupTimeText(*keptTime) : QString(), damagedAs)};
}

} // namespace data
