#include "data/Backups.h"

#include "data/Ledger.h"
#include "data/LedgerMessages.h"
#include "data/sqlite/DatabaseCopy.h"
#include "data/StoredFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <algorithm>
#include <set>

namespace data {

namespace {

constexpr int kKeepNewest = 10;
constexpr int kKeepMonths = 12;

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

// The newest backup, when the ledger is still as it was made from.
std::optional<QString> unchangedSince(const QString& ledger, const LedgerFacts& facts)
{
    const QSettings stored(factsFile(ledger), QSettings::IniFormat);
    const QString backup = backupFolder(ledger) + u'/' + stored.value(QStringLiteral("Backup")).toString();
    const LedgerFacts then{stored.value(QStringLiteral("Size"), -2).toLongLong(),
                           stored.value(QStringLiteral("Modified"), -2).toLongLong(),
                           stored.value(QStringLiteral("Counter"), -2).toLongLong(),
                           stored.value(QStringLiteral("Log"), -2).toLongLong()};
    if (then == facts && QFileInfo(backup).isFile())
        return backup;
    return std::nullopt;
}

void recordFacts(const QString& ledger, const QString& backup, const LedgerFacts& facts)
{
    QSettings stored(factsFile(ledger), QSettings::IniFormat);
    stored.setValue(QStringLiteral("Backup"), QFileInfo(backup).fileName());
    stored.setValue(QStringLiteral("Size"), facts.size);
    stored.setValue(QStringLiteral("Modified"), facts.modified);
    stored.setValue(QStringLiteral("Counter"), facts.counter);
    stored.setValue(QStringLiteral("Log"), facts.logSize);
}

void deleteExpired(const QString& ledger)
{
    const std::vector<Backup> backups = backupsOf(ledger);
    std::vector<QDateTime> taken;
    for (const Backup& backup : backups)
        taken.push_back(backup.taken);
    for (const size_t expired : expiredBackups(taken, now()))
        QFile::remove(backups[expired].path);
}

void tellOnce(const BackupResult& result, const QString& ledger)
{
    if (result.kind != BackupResult::Failed || std::exchange(failureTold(), true))
        return;
    tellUser(backupFailureMessage(backupFolder(ledger), result.problem));
}

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
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files)) {
        if (const auto taken = backupTime(file.fileName()))
            backups.push_back({file.absoluteFilePath(), *taken});
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
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [&](size_t a, size_t b) { return taken[a] > taken[b]; });
    std::set<size_t> kept(newestFirst.begin(), newestFirst.begin() + std::min<size_t>(kKeepNewest, taken.size()));
    const QDate thisMonth(now.date().year(), now.date().month(), 1);
    for (int back = 0; back < kKeepMonths; ++back) {
        const QDate month = thisMonth.addMonths(-back);
        const auto newest = std::find_if(newestFirst.begin(), newestFirst.end(), [&](size_t i) {
            const QDate date = taken[i].date();
            return date.year() == month.year() && date.month() == month.month();
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
    const QString unchecked = backup + QStringLiteral(".unchecked");
    QFile::remove(unchecked);
    try {
        platform::copyDatabase(ledger, unchecked);
    } catch (const platform::CopyError& e) {
        QFile::remove(unchecked);
        result.kind = e.sourceDamaged() ? BackupResult::Damaged : BackupResult::Failed;
        result.problem = QString::fromUtf8(e.what());
        return result;
    }
    if (const QString problem = platform::quickCheck(unchecked); !problem.isEmpty()) {
        QFile::remove(unchecked);
        // Damage the ledger has is copied with it; any other is the copy's own.
        const bool ledgerDamaged = !platform::quickCheck(ledger).isEmpty();
        result.kind = ledgerDamaged ? BackupResult::Damaged : BackupResult::Failed;
        result.problem = QStringLiteral("The copy is damaged: %1").arg(problem);
        return result;
    }
    if (!QFile::rename(unchecked, backup)) {
        QFile::remove(unchecked);
        result.problem = QStringLiteral("The copy could not be named %1.").arg(QFileInfo(backup).fileName());
        return result;
    }
    recordFacts(ledger, backup, facts);
    deleteExpired(ledger);
    result.kind = BackupResult::Made;
    result.backup = backup;
    result.problem.clear();
    return result;
}

void backUpAtStart()
{
    // A ledger without an account, a transaction or a step to undo (the template as
    // the first start copies it) holds nothing a backup could give back.
    const QString ledger = workingDatabasePath();
    if (platform::anyRows(ledger, {"Accounts", "Transactions", "UndoSteps"}) == false)
        return;
    tellOnce(backUp(ledger), ledger);
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
