#pragma once
// The QIF statement reader: the entries of bank and card registers (!Type:Bank,
// !Type:CCard). Other sections (investments, categories, memorised entries...) are left
// out with a note naming their line. Dates come in every form Quicken and banks write
// ("12/31/2024", "31.12.24", "1/ 2'05", "2024-12-31"); the order of day and month is
// decided from all of the file's dates together. The amount is the T (or U) line; splits
// are not read, their total is. The encoding is found like a CSV file's.

#include "importer/Statement.h"

#include <QByteArray>

namespace importer {

Statement readQif(const QByteArray& bytes, const ReadOptions& options = {});

} // namespace importer
