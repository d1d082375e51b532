#include "platform/Settings.h"

#include "platform/AppError.h"
#include "platform/AppPaths.h"
#include "platform/IniText.h"
#include "platform/StoredNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <algorithm>

namespace platform::settings {

namespace {
const QString& kSection = stored::kSettingsGroup;

// The file's entries; none when it is missing, unreadable or not a plain file (a pipe
// or a device would never end).
std::vector<ini::Entry> readEntries(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes) {
        // Only the start is read, up to the last whole line in it.
        text.truncate(kMaxFileBytes);
        text.truncate(std::max(text.lastIndexOf('\n'), text.lastIndexOf('\r')) + 1);
    }
    return ini::parse(text);
}

// The text a save writes: the program's section first, and no more than is read back.
// Only a damaged file holds more than that once rewritten; then entries are left out
// from the end, never the one just saved. (A value too long to read is kept: it may
// be mended by hand.)
QByteArray fileText(std::vector<ini::Entry> entries, const QString& savedKey)
{
    if (!savedKey.isEmpty())
        std::stable_partition(entries.begin(), entries.end(), [](const ini::Entry& e) { return e.section == kSection; });
    QByteArray text = ini::write(entries);
    while (text.size() > kMaxFileBytes) {
        qsizetype excess = text.size() - kMaxFileBytes;
        std::vector<ini::Entry> kept;
        for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
            if (excess > 0 && (savedKey.isEmpty() || e->section != kSection || e->key != savedKey))
                excess -= ini::write({*e}).size();   // its line, with a section line to spare
            else
                kept.push_back(std::move(*e));
        }
        if (kept.size() == entries.size())
            break;
        entries.assign(std::make_move_iterator(kept.rbegin()), std::make_move_iterator(kept.rend()));
        text = ini::write(entries);
    }
    return text;
}

AppError cannotSave(const QString& path, const QString& reason)
{
    return AppError(QStringLiteral("Path/File access error: cannot save the settings to '%1' (%2)").arg(path, reason));
}

// Writes the text whole to a new file that then takes the old one's place: a failure
// halfway leaves the old file as it was. Only its owner may read it (what names a
// server ledger may name its user and host), from its first byte on. Answers why it
// failed, "" when it did not.
QString replaceText(const QString& path, const QByteArray& text)
{
    constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kOwnerOnly) || file.write(text) < 0 || !file.commit())
        return file.errorString();
    // The new file may take the old one's permissions instead: set again.
    if (!QFile::setPermissions(path, kOwnerOnly))
        return QStringLiteral("its permissions cannot be set");
    return {};
}

} // namespace

std::vector<ini::Entry> readFile(const QString& path)
{
    return readEntries(path);
}

void writeFile(const QString& path, std::vector<ini::Entry> entries)
{
    if (const QString failure = replaceText(path, fileText(std::move(entries), QString())); !failure.isEmpty())
        throw AppError(QStringLiteral("Path/File access error: cannot save '%1' (%2)").arg(path, failure));
}

QString get(const QString& key, const QString& defaultValue)
{
    const QString path = settingsFilePath();
    const std::vector<ini::Entry> entries = readEntries(path);
    const ini::Entry* entry = ini::find(entries, kSection, key);
    if (!entry)
        return defaultValue;
    if (entry->value.size() > kMaxValueLength)
        throw AppError(QStringLiteral("The setting %1 in '%2' is longer than %3 characters")
                           .arg(key, path)
                           .arg(kMaxValueLength));
    return entry->value;
}

void save(const QString& key, const QString& value)
{
    const QString path = settingsFilePath();
    if (value.size() > kMaxValueLength)
        throw cannotSave(path, QStringLiteral("%1 would be longer than %2 characters").arg(key).arg(kMaxValueLength));
    // A value stored already needs no writing (start-up writes back what it read).
    const std::vector<ini::Entry> before = readEntries(path);
    if (const ini::Entry* stored = ini::find(before, kSection, key); stored && stored->value == value)
        return;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw cannotSave(path, QStringLiteral("its folder cannot be made"));
    // Another copy of the program saving at the same moment must not lose this change.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) {
        throw cannotSave(path, lock.error() == QLockFile::LockFailedError ? QStringLiteral("another program holds it")
                                                                         : QStringLiteral("Permission denied"));
    }
    std::vector<ini::Entry> entries = readEntries(path);
    ini::set(entries, kSection, key, value);
    if (const QString failure = replaceText(path, fileText(std::move(entries), key)); !failure.isEmpty())
        throw cannotSave(path, failure);
}

} // namespace platform::settings
