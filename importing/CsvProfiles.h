#pragma once
// The CSV mappings the user has chosen, kept in the settings (keys: data/StoredFormat.h):
// the one last used for each header, so that the next file from the same bank reads
// without questions, and those saved under a name, for scripts (--profile NAME).

#include "importer/CsvProfile.h"
#include "importer/Statement.h"

#include <QString>
#include <optional>

namespace importing {

// nullopt when none is stored, or the stored text is not a whole profile. Throw what
// platform::settings throws.
std::optional<importer::CsvProfile> profileForHeader(const QString& fingerprint);
std::optional<importer::CsvProfile> namedProfile(const QString& name);

// Where a statement comes from, as far as the file tells: the account the OFX or CAMT
// file names, or the CSV header's fingerprint, with the format; "" when the file does not
// tell (a QIF file, an OFX file naming no account), so nothing is remembered for it.
QString statementSource(const importer::Statement& statement);
// The account last chosen for that source (0 for none) and remembering it.
qint64 accountForSource(const QString& source);
void rememberAccountForSource(const QString& source, qint64 accountId);

void rememberProfileForHeader(const QString& fingerprint, const importer::CsvProfile& profile);
void saveNamedProfile(const QString& name, const importer::CsvProfile& profile);

} // namespace importing
