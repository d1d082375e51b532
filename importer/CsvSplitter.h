#pragma once
// Splitting CSV text into records by RFC 4180: quoted fields may hold the delimiter,
// doubled quotes and line breaks; each record keeps the line it begins on, so a reason
// can name it. And finding which delimiter a file uses.

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

namespace importer {

// One record of a CSV text and the line it begins on.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};

struct CsvSplit {
    QList<CsvRecord> records;
    int unclosedQuoteLine = 0;   // a quoted field opened here runs to the end of the text
};

// The records of `text`; at most `maxRecords` when that is not negative. Empty lines are
// left out.
CsvSplit splitCsv(const QString& text, QChar delimiter, qsizetype maxRecords = -1);

// The delimiter (, ; tab |) that splits the first records into the most rows of one
// width of two fields or more; a preamble above the header has its own widths and loses.
QChar findDelimiter(const QString& text);

} // namespace importer
