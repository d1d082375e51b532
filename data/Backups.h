#pragma once
// Backups of the ledger file: checked copies in the data folder's Backups/, made at
// start-up when the ledger has changed since the newest one, before the file's format
// is brought up to date, and before a backup is restored; the newest 10 and the newest
// of each of the last 12 months are kept. A file counts as a backup only when it is a
// sound ledger this version reads, checked as the ledger is at its opening.
//
// Whether the ledger has changed is told from the file itself, cheaply: its size, its
// modification time (to the millisecond), SQLite's change counter in its header, and
// the size of a write-ahead log beside it, each as they were when the newest backup
// was made (kept in Backups/Backups.ini, read and written as the settings file is,
// with the verdict of each file's check). The program leaves all of them alone when it
// changes nothing, and any commit changes the log, and the file when the log is folded
// back in.

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace data {

// The folder the backups of `ledger` go to: Backups/ beside it.
QString backupFolder(const QString& ledger);
// The name of a backup of `ledger` taken at `time`, local time ("dbData-2026-01-05-
// 101500.mdb"); `number` 2, 3... for more than one in the same second.
QString backupName(const QString& ledger, const QDateTime& time, int number = 1);
// The time a backup was taken, from its file name; nullopt for any other name.
std::optional<QDateTime> backupTime(const QString& fileName);

// The backups of `ledger` there are, newest first: the files named as backups that are
// sound ledgers. A file is checked once; the facts file keeps the verdict for as long
// as its size and modification time stay.
struct Backup {
    QString path;
    QDateTime taken;
};
std::vector<Backup> backupsOf(const QString& ledger);

// The retention rule: which of backups taken at `taken` go, as of `now` (indexes into
// taken). Kept are the newest 10, and the newest one of each of the 12 calendar months
// up to and including now's. A backup dated after now (named by a clock that was
// wrong) counts as older than every one up to now.
std::vector<size_t> expiredBackups(const std::vector<QDateTime>& taken, const QDateTime& now);

// The clock backups are named and kept by (tests run a calendar of their own);
// nullptr brings back the system's.
void setBackupClock(std::function<QDateTime()> now);

struct BackupResult {
    enum Kind {
        Made,        // a new backup, checked
        Unchanged,   // the ledger is as in the newest backup: none needed
        NoLedger,    // no file to back up
        Damaged,     // SQLite found the ledger damaged: no backup, none deleted
        NotALedger,  // no ledger this version reads: no backup, none deleted
        Failed,      // the backup could not be made (problem says why)
    } kind = NoLedger;
    QString backup;    // Made: the new backup; Unchanged: the newest one
    QString problem;   // Made: why its facts could not be noted, "" when they were
};

// Backs `ledger` up when it has changed since the newest backup: a copy with SQLite's
// online backup, checked with its quick check, and only then given a backup's name.
// A new backup lets the retention rule delete older ones. The ledger is held in use
// meanwhile (waiting a few seconds for a restore under way in another copy). Never
// throws.
BackupResult backUp(const QString& ledger);
// The same for a restore that holds the ledger alone already: the backup it is about
// to restore, `chosen`, is never deleted by the retention rule.
BackupResult backUpBeforeRestore(const QString& ledger, const QString& chosen);

// The backup at start-up, before the ledger is opened, and the one before its format
// is brought up to date. A failure is told to the user once for each opening of the
// shared connection (the two may meet it in turn) and never stops anything; a damaged
// ledger, or one that cannot be written at all, is left to the opening, which tells
// the user of it. At start-up a ledger with nothing in it, nor a step to undo, is not
// backed up, and what a start-up or restore killed halfway left is removed first
// (while no other copy has the ledger in use).
void backUpAtStart();
void backUpBeforeMigration(const QString& ledger);
// Forgets that a failure has been told: the shared connection is about to open anew.
void forgetBackupFailure();
// Whether a failure has been told since.
bool backupFailureTold();

} // namespace data
