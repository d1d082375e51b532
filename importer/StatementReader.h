#pragma once
// The one entry point for reading a statement: finds the format, refuses what is not a
// statement or is too large, and hands the bytes to the format's reader.
//
// Use:
//   importer::Statement st = importer::readStatementFile(path);
//   if (!st.refusal.isEmpty())        -> show st.refusal, import nothing
//   if (st.csvNeedsMapping)           -> show st.csvHeader, let the user map, read again
//                                        with ReadOptions::csvProfile
//   if (st.dateOrderAmbiguous())      -> ask which of st.dateOrderCandidates, read again
//                                        with ReadOptions::dateOrder (a script refuses)
//   then st.rows: each readable row to import, each other row shown with its problem.
// For CSV, st.csvProfile.toString() is what to store under st.csvFingerprint; a stored
// profile comes back through CsvProfile::fromString into ReadOptions::csvProfile.

#include "importer/Statement.h"

#include <QByteArray>
#include <QString>

namespace importer {

// Reads the file at `path`; a file over kMaxStatementBytes is refused before it is read.
Statement readStatementFile(const QString& path, const ReadOptions& options = {});

// The same for bytes already in memory; `fileName` is only a hint for the format.
Statement readStatement(const QByteArray& bytes, const QString& fileName = {}, const ReadOptions& options = {});

} // namespace importer
