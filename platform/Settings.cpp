#include "platform/Settings.h"

#include "platform/AppPaths.h"
#include "platform/StoredFormat.h"

#include <QSettings>
#include <QStringList>

namespace platform::settings {

namespace {
const QString& kGroup = stored::kSettingsGroup;

QString keyPath(const QString& key)
{
    return kGroup + u'/' + key;
}
} // namespace

QString get(const QString& key, const QString& defaultValue)
{
    const QSettings store(settingsFilePath(), QSettings::IniFormat);
    const QVariant value = store.value(keyPath(key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with a bare comma reads back as a list; keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void save(const QString& key, const QString& value)
{
    QSettings store(settingsFilePath(), QSettings::IniFormat);
    store.setValue(keyPath(key), value);
    store.sync();
}

} // namespace platform::settings
