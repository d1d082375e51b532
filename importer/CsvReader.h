#pragma once
// The CSV statement reader. Everything about the file is found from the file itself,
// unless the caller's profile says otherwise: encoding, delimiter (, ; tab |), the header
// line after any preamble (account number, period, opening balance...), the columns, the
// decimal separator and the date order. Quoting follows RFC 4180: quoted fields may hold
// delimiters, doubled quotes and line breaks.
//
// A row whose number of fields differs from the header's is not readable, with its line
// (a footer such as "Closing balance;1.234,56" is such a row, and shows up as one). When
// more than half of the rows differ, the file's columns change half-way and the whole file
// is refused, naming the line where the change begins: importing half of a file would
// look complete and not be.

#include "importer/Statement.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace importer {

Statement readCsv(const QByteArray& bytes, const ReadOptions& options = {});

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

} // namespace importer
