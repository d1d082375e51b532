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

QString statementSource(const importer::Statement& statement)
{
    const QString id = statement.format == importer::Format::Csv ? statement.csvFingerprint : statement.account;
    return id.isEmpty() ? QString() : importer::formatName(statement.format) + u':' + id;
}

qint64 accountForSource(const QString& source)
{
    if (source.isEmpty())
        return 0;
    return platform::settings::get(kImportAccountKeyPrefix + QString::fromLatin1(source.toUtf8().toHex()), QString())
        .toLongLong();
}

void rememberAccountForSource(const QString& source, qint64 accountId)
{
    if (!source.isEmpty())
        platform::settings::save(kImportAccountKeyPrefix + QString::fromLatin1(source.toUtf8().toHex()),
                                 QString::number(accountId));
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
