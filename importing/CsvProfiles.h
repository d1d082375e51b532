#pragma once
// The CSV mappings the user has chosen, kept in the settings (keys: data/StoredFormat.h):
// the one last used for each header, so that the next file from the same bank reads
// without questions, and those saved under a name, for scripts (--profile NAME).

#include "importer/CsvProfile.h"

#include <QString>
#include <optional>

namespace importing {

// nullopt when none is stored, or the stored text is not a whole profile. Throw what
// platform::settings throws.
std::optional<importer::CsvProfile> profileForHeader(const QString& fingerprint);
std::optional<importer::CsvProfile> namedProfile(const QString& name);

void rememberProfileForHeader(const QString& fingerprint, const importer::CsvProfile& profile);
void saveNamedProfile(const QString& name, const importer::CsvProfile& profile);

} // namespace importing
