#pragma once
// A laid-out report written out: every page (or the pages asked for) to a PDF file or
// to a printer. A file is written whole or not at all: it replaces an existing one only
// once every page is in it, and only a regular file (never a pipe or a device).

#include "output/ReportDocument.h"

#include <functional>

class QPrinter;

namespace output {

// Called before each page with the number of pages done and the number to do; false
// stops the writing.
using PageProgress = std::function<bool(int done, int count)>;

// Writes the document to a PDF file at path. Throws an AppError saying why when the
// file cannot be written; returns false when progress stopped it (nothing written).
bool writePdf(const ReportDocument& document, const QString& path, const QString& title,
              const PageProgress& progress = {});

// Prints the rows on the printer's paper, the printer's page ranges only when it has
// any. Returns false when progress stopped it (the print job is aborted); throws when
// the printer cannot be used.
bool printReport(const ReportDefinition& definition, const ReportRows& rows, QPrinter& printer,
                 const PageProgress& progress = {});

} // namespace output
