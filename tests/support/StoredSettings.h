#pragma once
// Reading and writing keys of a test's settings file, through the program's own store.

#include "platform/Settings.h"

#include <QString>

namespace testing_support {

// The stored text of key, or "<absent>".
inline QString stored(const char* key)
{
    return platform::settings::get(QString::fromLatin1(key), QStringLiteral("<absent>"));
}

inline void store(const char* key, const QString& value)
{
    platform::settings::save(QString::fromLatin1(key), value);
}

} // namespace testing_support
