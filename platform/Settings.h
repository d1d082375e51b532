#pragma once
// The per-user settings store: string values under the application "Marlowick" and
// the section "Tallyfold", kept in an INI file (settingsFilePath(); its text is
// IniText's). Every value is plain text, and no file, however damaged or hostile, costs
// much to read: at most kMaxFileBytes of it are read, and a value longer than
// kMaxValueLength is neither read nor saved.

#include <QString>

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

} // namespace platform::settings
