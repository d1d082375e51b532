#pragma once
// Which kind of statement a file is, from its first bytes, with the file name's ending
// as a hint where the bytes alone do not tell (a CSV and a QIF are both plain text).

#include "importer/Statement.h"

#include <QByteArray>
#include <QString>

namespace importer {

struct Sniffed {
    Format format = Format::Unknown;
    QString refusal;   // for Unknown: why the file is not a statement
};

// `head` is the file's beginning (the first 64 KB are plenty).
Sniffed sniffFormat(const QByteArray& head, const QString& fileName = {});

} // namespace importer
