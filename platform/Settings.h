#pragma once
// The per-user settings store: string values under the application "Marlowick" and
// the section "Tallyfold", kept in an INI file (settingsFilePath(); its text is
// IniText's). Every value is plain text, and no file, however damaged or hostile, costs
// much to read: at most kMaxFileBytes of it are read, and a value longer than
// kMaxValueLength is neither read nor saved.

#include "platform/IniText.h"

#include <QString>
#include <vector>

namespace platform::settings {

inline constexpr qint64 kMaxFileBytes = 64 * 1024;
inline constexpr qsizetype kMaxValueLength = 4096;

// The stored text for key, or defaultValue when the key is absent or the file cannot
// be read. Throws an AppError naming the file when the stored value is too long.
QString get(const QString& key, const QString& defaultValue);
// Stores value under key at once; a value stored already is not written again.
// Throws an AppError naming the file when it cannot: a folder or file that cannot be
// written, or a value that is too long.
void save(const QString& key, const QString& value);

// Another small INI file of the program's own (the backups' facts), read and written
// by the same rules and limits: no more than kMaxFileBytes is read, none when it is
// missing or no plain file; written whole in the old one's place, at most
// kMaxFileBytes of it (entries are left out from the end). writeFile throws an
// AppError naming the file when it cannot write it.
std::vector<ini::Entry> readFile(const QString& path);
void writeFile(const QString& path, std::vector<ini::Entry> entries);

} // namespace platform::settings
