#include "importing/CsvProfiles.h"

#include "data/StoredFormat.h"
#include "platform/Settings.h"

namespace importing {

namespace {

using namespace platform::stored;

QString namedKey(const QString& name)
{
    return kNamedCsvProfileKeyPrefix + QString::fromLatin1(name.toUtf8().toHex());
}

std::optional<importer::CsvProfile> stored(const QString& key)
{
    const QString text = platform::settings::get(key, QString());
    return text.isEmpty() ? std::nullopt : importer::CsvProfile::fromString(text);
}

} // namespace

std::optional<importer::CsvProfile> profileForHeader(const QString& fingerprint)
{
    return stored(kCsvProfileKeyPrefix + fingerprint);
}

std::optional<importer::CsvProfile> namedProfile(const QString& name)
{
    return stored(namedKey(name));
}

void rememberProfileForHeader(const QString& fingerprint, const importer::CsvProfile& profile)
{
    platform::settings::save(kCsvProfileKeyPrefix + fingerprint, profile.toString());
}

void saveNamedProfile(const QString& name, const importer::CsvProfile& profile)
{
    platform::settings::save(namedKey(name), profile.toString());
}

} // namespace importing
