#pragma once
// Putting a backup of the ledger back in its place ("Restore a Backup…").

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace data {

// A backup of the working ledger as the restore window lists it.
struct BackupEntry {
    QString path;
    QDateTime taken;
    qint64 bytes = 0;
    std::optional<long long> transactions;   // nullopt: the backup cannot be read
};
// The backups of the working ledger, newest first.
std::vector<BackupEntry> listBackups();

// When a backup was made, as the user reads it: the short date with the whole year and
// the time to the second, without a time zone ("3/14/2026 9:26:53 AM").
QString backupTimeText(const QDateTime& taken);
// How a backup is named to the user: its time, and how many transactions it holds.
QString describeBackup(const BackupEntry& backup);

// What a restore did, and what the user is to be told of it.
struct RestoreOutcome {
    bool restored = false;
    QString message;
};

// Replaces the working ledger with the backup `entry`, over the shared connection:
// checks the backup, lets go of the ledger, backs it up first (a damaged ledger is
// kept aside under a name of its own instead), puts a checked copy of the backup in
// its place in one step, and opens it again. When it restores nothing (a damaged
// backup, a ledger that cannot be backed up first...), the ledger is as it was and
// open again, and the message says why. Throws only when the restored ledger cannot
// be opened (platform::FileRefusal, DbError).
RestoreOutcome restoreBackup(const BackupEntry& entry);

} // namespace data
