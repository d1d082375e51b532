#include "data/Backups.h"

#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "data/sqlite/DatabaseCopy.h"
#include "data/StoredFormat.h"
#include "platform/AppError.h"
#include "platform/IniText.h"
#include "platform/Settings.h"
#include "platform/UseLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <algorithm>
#include <set>

namespace data {

namespace {

constexpr int kKeepNewest = 10;
constexpr int kKeepMonths = 12;
// How long a backup waits for a restore under way in another copy.
constexpr int kRestoreWaitMs = 5000;
// The facts file's section for the files found to be sound backups, or not: each file
// name with its size, its modification time and the verdict ("1" sound), so that a file
// is checked once, not at every listing.
const QString kCheckedSection = QStringLiteral("Checked");
const QString kUncheckedSuffix = QStringLiteral(".unchecked");
// What SQLite's shared memory for a write-ahead log takes at least.
constexpr int kSharedMemoryBytes = 32 * 1024;

std::function<QDateTime()>& clock()
{
    static std::function<QDateTime()> now;
    return now;
}

QDateTime now()
{
    return clock() ? clock()() : QDateTime::currentDateTime();
}

bool& failureTold()
{
    static bool told = false;
    return told;
}

// What tells whether the ledger has changed since a backup was made of it.
struct LedgerFacts {
    qint64 size = -1;
    qint64 modified = -1;     // milliseconds since the epoch
    qint64 counter = -1;      // SQLite's file change counter (header bytes 24-27)
    qint64 logSize = 0;       // the write-ahead log beside it, 0 when there is none
    bool operator==(const LedgerFacts&) const = default;
};

LedgerFacts factsOf(const QString& ledger)
{
    LedgerFacts facts;
    const QFileInfo file(ledger), log(ledger + QStringLiteral("-wal"));
    facts.size = file.size();
    facts.modified = file.lastModified().toMSecsSinceEpoch();
    QFile header(ledger);
    if (header.open(QIODevice::ReadOnly) && header.seek(24)) {
        const QByteArray bytes = header.read(4);
        if (bytes.size() == 4)
            facts.counter = qint64(quint8(bytes[0])) << 24 | quint8(bytes[1]) << 16 | quint8(bytes[2]) << 8 | quint8(bytes[3]);
    }
    facts.logSize = log.exists() ? log.size() : 0;
    return facts;
}

QString factsFile(const QString& ledger)
{
    return backupFolder(ledger) + u'/' + platform::stored::kBackupFactsFileName;
}

qint64 storedNumber(const std::vector<platform::ini::Entry>& entries, const QString& key)
{
    const platform::ini::Entry* entry = platform::ini::find(entries, QString(), key);
    bool ok = false;
    const qint64 number = entry ? entry->value.toLongLong(&ok) : 0;
    return ok ? number : -2;
}

// The newest backup, when the ledger is still as it was made from.
std::optional<QString> unchangedSince(const QString& ledger, const LedgerFacts& facts)
{
    const std::vector<platform::ini::Entry> stored = platform::settings::readFile(factsFile(ledger));
    const platform::ini::Entry* name = platform::ini::find(stored, QString(), QStringLiteral("Backup"));
    if (!name)
        return std::nullopt;
    const QString backup = backupFolder(ledger) + u'/' + name->value;
    const LedgerFacts then{storedNumber(stored, QStringLiteral("Size")), storedNumber(stored, QStringLiteral("Modified")),
                           storedNumber(stored, QStringLiteral("Counter")), storedNumber(stored, QStringLiteral("Log"))};
    if (then == facts && backupTime(name->value) && QFileInfo(backup).isFile())
        return backup;
    return std::nullopt;
}

// A file's size and modification time, as the facts file keeps them for its verdict.
QString stampOf(const QFileInfo& file)
{
    return QStringLiteral("%1 %2").arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch());
}

// Notes what the new backup was made from, and that it was checked. Answers why that
// could not be noted, "" when it was.
QString recordFacts(const QString& ledger, const QString& backup, const LedgerFacts& facts)
{
    using platform::ini::set;
    std::vector<platform::ini::Entry> stored = platform::settings::readFile(factsFile(ledger));
    set(stored, QString(), QStringLiteral("Backup"), QFileInfo(backup).fileName());
    set(stored, QString(), QStringLiteral("Size"), QString::number(facts.size));
    set(stored, QString(), QStringLiteral("Modified"), QString::number(facts.modified));
    set(stored, QString(), QStringLiteral("Counter"), QString::number(facts.counter));
    set(stored, QString(), QStringLiteral("Log"), QString::number(facts.logSize));
    const QFileInfo made(backup);
    set(stored, kCheckedSection, made.fileName(), stampOf(made) + QStringLiteral(" 1"));
    try {
        platform::settings::writeFile(factsFile(ledger), std::move(stored));
    } catch (const platform::AppError& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

void deleteExpired(const QString& ledger, const QString& spare)
{
    const std::vector<Backup> backups = backupsOf(ledger);
    std::vector<QDateTime> taken;
    for (const Backup& backup : backups)
        taken.push_back(backup.taken);
    for (const size_t expired : expiredBackups(taken, now())) {
        if (QFileInfo(backups[expired].path) != QFileInfo(spare))
            QFile::remove(backups[expired].path);
    }
}

void tellOnce(const BackupResult& result, const QString& ledger)
{
    const bool unnoted = result.kind == BackupResult::Made && !result.problem.isEmpty();
    if ((result.kind != BackupResult::Failed && !unnoted) || std::exchange(failureTold(), true))
        return;
    tellUser(unnoted ? backupUnnotedMessage(backupFolder(ledger), result.problem)
                     : backupFailureMessage(backupFolder(ledger), result.problem));
}

// What a start-up or restore killed halfway left: a copy never checked, never named a
// backup. Removed only while no other copy has the ledger in use, whose copy it may be.
void removeLeftovers(const QString& ledger)
{
    platform::UseLock alone(ledger);
    if (!alone.takeAlone())
        return;
    const QDir folder(backupFolder(ledger));
    for (const QString& name : folder.entryList({QStringLiteral("*") + kUncheckedSuffix}, QDir::Files | QDir::Hidden))
        QFile::remove(folder.filePath(name));
    QFile::remove(ledger + QStringLiteral(".restoring"));
}

// Whether this program could write to the ledger file, and beside it the shared memory
// its log needs (a disk that is full has no room for it).
bool canWriteBeside(const QString& ledger)
{
    QFile file(ledger);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    QTemporaryFile probe(QFileInfo(ledger).absolutePath() + QStringLiteral("/XXXXXX.probe"));
    return probe.open() && probe.write(QByteArray(kSharedMemoryBytes, '\0')) == kSharedMemoryBytes && probe.flush();
}

BackupResult makeBackup(const QString& ledger, const QString& spare);

} // namespace

QString backupFolder(const QString& ledger)
{
    return QFileInfo(ledger).absolutePath() + u'/' + platform::stored::kBackupFolderName;
}

QString backupName(const QString& ledger, const QDateTime& time, int number)
{
    return QFileInfo(ledger).completeBaseName() + u'-' + time.toString(platform::stored::kBackupTimeFormat)
        + (number > 1 ? u'-' + QString::number(number) : QString()) + u'.' + QFileInfo(ledger).suffix();
}

std::optional<QDateTime> backupTime(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^%1-(\\d{4}-\\d{2}-\\d{2}-\\d{6})(?:-\\d+)?\\.mdb$")
                                                .arg(QRegularExpression::escape(QFileInfo(platform::stored::kWorkingFileName).completeBaseName())));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(match.captured(1), platform::stored::kBackupTimeFormat);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

std::vector<Backup> backupsOf(const QString& ledger)
{
    std::vector<Backup> backups;
    const QDir folder(backupFolder(ledger));
    const QString facts = factsFile(ledger);
    const std::vector<platform::ini::Entry> stored = platform::settings::readFile(facts);
    std::vector<platform::ini::Entry> noted;
    for (const platform::ini::Entry& entry : stored) {
        if (entry.section != kCheckedSection)
            noted.push_back(entry);
    }
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files)) {
        const auto taken = backupTime(file.fileName());
        if (!taken)
            continue;
        // Only a sound ledger is a backup: checked as the ledger is at its opening.
        const QString stamp = stampOf(file);
        const platform::ini::Entry* verdict = platform::ini::find(stored, kCheckedSection, file.fileName());
        bool sound;
        if (verdict && verdict->value.startsWith(stamp + u' '))
            sound = verdict->value.endsWith(QStringLiteral(" 1"));
        else
            sound = platform::checkLedger(file.absoluteFilePath()).problem == platform::FileProblem::None;
        noted.push_back({kCheckedSection, file.fileName(), stamp + (sound ? QStringLiteral(" 1") : QStringLiteral(" 0"))});
        if (sound)
            backups.push_back({file.absoluteFilePath(), *taken});
    }
    if (noted != stored && QFileInfo(folder.path()).isDir()) {
        try {
            platform::settings::writeFile(facts, std::move(noted));
        } catch (const platform::AppError&) {
            // The verdicts are only kept to save checking again: without them the next
            // listing checks the files again and comes to the same answer.
        }
    }
    // Newest first; within one second the higher number first ("-10", "-9", ..., none).
    std::sort(backups.begin(), backups.end(), [](const Backup& a, const Backup& b) {
        if (a.taken != b.taken)
            return a.taken > b.taken;
        return std::pair(a.path.size(), a.path) > std::pair(b.path.size(), b.path);
    });
    return backups;
}

std::vector<size_t> expiredBackups(const std::vector<QDateTime>& taken, const QDateTime& now)
{
    std::vector<size_t> newestFirst(taken.size());
    for (size_t i = 0; i < taken.size(); ++i)
        newestFirst[i] = i;
    // A backup dated after now was named by a clock that was wrong: it was made before
    // any made since the clock was put right, so it ranks below every one up to now.
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [&](size_t a, size_t b) {
        const bool aLater = taken[a] > now, bLater = taken[b] > now;
        if (aLater != bLater)
            return bLater;
        return taken[a] > taken[b];
    });
    std::set<size_t> kept(newestFirst.begin(), newestFirst.begin() + std::min<size_t>(kKeepNewest, taken.size()));
    const QDate thisMonth(now.date().year(), now.date().month(), 1);
    for (int back = 0; back < kKeepMonths; ++back) {
        const QDate month = thisMonth.addMonths(-back);
        const auto newest = std::find_if(newestFirst.begin(), newestFirst.end(), [&](size_t i) {
            const QDate date = taken[i].date();
            return taken[i] <= now && date.year() == month.year() && date.month() == month.month();
        });
        if (newest != newestFirst.end())
            kept.insert(*newest);
    }
    std::vector<size_t> expired;
    for (const size_t i : newestFirst) {
        if (!kept.count(i))
            expired.push_back(i);
    }
    return expired;
}

void setBackupClock(std::function<QDateTime()> clockNow)
{
    clock() = std::move(clockNow);
}

BackupResult backUp(const QString& ledger)
{
    // In use while it is copied: a restore in another copy waits, and the copy's own
    // unchecked file is never taken for a leftover.
    platform::UseLock use(ledger);
    if (!use.share(kRestoreWaitMs))
        return {BackupResult::Failed, {}, QStringLiteral("Another copy of Tallyfold is restoring a backup.")};
    return makeBackup(ledger, {});
}

BackupResult backUpBeforeRestore(const QString& ledger, const QString& chosen)
{
    return makeBackup(ledger, chosen);
}

namespace {

BackupResult makeBackup(const QString& ledger, const QString& spare)
{
    BackupResult result;
    if (!QFileInfo(ledger).isFile())
        return result;
    const LedgerFacts facts = factsOf(ledger);
    if (const auto newest = unchangedSince(ledger, facts)) {
        result.kind = BackupResult::Unchanged;
        result.backup = *newest;
        return result;
    }
    result.kind = BackupResult::Failed;
    const QString folder = backupFolder(ledger);
    if (!QDir().mkpath(folder)) {
        result.problem = QStringLiteral("The folder could not be made.");
        return result;
    }
    const QDateTime taken = now();
    QString backup;
    for (int number = 1; backup.isEmpty() || QFileInfo::exists(backup); ++number)
        backup = folder + u'/' + backupName(ledger, taken, number);
    // Under a name of its own until checked: a half-made copy is never taken for a backup.
    const QString unchecked = backup + kUncheckedSuffix;
    QFile::remove(unchecked);
    try {
        platform::copyDatabase(ledger, unchecked);
    } catch (const platform::CopyError& e) {
        QFile::remove(unchecked);
        result.kind = e.sourceDamaged() ? BackupResult::Damaged : BackupResult::Failed;
        result.problem = QString::fromUtf8(e.what());
        return result;
    }
    if (const platform::LedgerCheck check = platform::checkLedger(unchecked); check.problem != platform::FileProblem::None) {
        QFile::remove(unchecked);
        if (check.problem != platform::FileProblem::Damaged) {
            // No ledger this version reads: the opening refuses it and says why; as a
            // backup it would only push real ones out.
            result.kind = BackupResult::NotALedger;
            result.problem = check.detail;
            return result;
        }
        // Damage the ledger has is copied with it; any other is the copy's own.
        const bool ledgerDamaged = !platform::quickCheck(ledger).isEmpty();
        result.kind = ledgerDamaged ? BackupResult::Damaged : BackupResult::Failed;
        result.problem = QStringLiteral("The copy is damaged: %1").arg(check.detail);
        return result;
    }
    if (!QFile::rename(unchecked, backup)) {
        QFile::remove(unchecked);
        result.problem = QStringLiteral("The copy could not be named %1.").arg(QFileInfo(backup).fileName());
        return result;
    }
    result.problem = recordFacts(ledger, backup, facts);
    deleteExpired(ledger, spare);
    result.kind = BackupResult::Made;
    result.backup = backup;
    return result;
}

} // namespace

void backUpAtStart()
{
    // A server keeps its own backups (pg_dump): the file in the data folder is not the ledger.
    if (serverLedgerChosen())
        return;
    const QString ledger = workingDatabasePath();
    removeLeftovers(ledger);
    // A ledger without an account, a transaction or a step to undo (the template as
    // the first start copies it) holds nothing a backup could give back.
    if (platform::anyRows(ledger, {"Accounts", "Transactions", "UndoSteps"}) == false)
        return;
    const BackupResult result = backUp(ledger);
    // A ledger that cannot be written opens read-only, and the opening tells of it once.
    if (result.kind == BackupResult::Failed && !canWriteBeside(ledger))
        return;
    tellOnce(result, ledger);
}

bool backupFailureTold()
{
    return failureTold();
}

void backUpBeforeMigration(const QString& ledger)
{
    tellOnce(backUp(ledger), ledger);
}

void forgetBackupFailure()
{
    failureTold() = false;
}

} // namespace data
