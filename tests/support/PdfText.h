#pragma once
// Reading a PDF file back as a person would read the printout: its text, page by page,
// as pdftotext lays it out.

#include <QString>
#include <QStringList>

namespace testing_support {

// The text of each page of a PDF file, in order; empty when it cannot be read.
QStringList pdfPages(const QString& path);

// The non-empty lines of a page, each with its runs of spaces squeezed to one, so that
// a check reads the columns in order without depending on their exact spacing.
QStringList pageLines(const QString& page);

} // namespace testing_support
