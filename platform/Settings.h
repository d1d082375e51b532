#pragma once
// The per-user settings store: string values under the application "Marlowick" and
// the section "Tallyfold", kept in an INI file (see settingsFilePath()).

#include <QString>

namespace platform::settings {

// The stored text for key, or defaultValue when the key is absent.
QString get(const QString& key, const QString& defaultValue);
void save(const QString& key, const QString& value);

} // namespace platform::settings
