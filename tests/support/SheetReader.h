#pragma once
// Reads a written .xlsx file back with a real reader (openpyxl, through a small Python
// script): each cell's type, value, number format and the text a spreadsheet shows for
// it under a given locale's separators, the column widths and the number of formulas.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <utility>

namespace testing_support {

struct SheetCell {
    QString type;     // "text", "number" or "date"
    QVariant value;   // dates as "yyyy-MM-dd"
    QString format;   // the number format code
    QString shown;    // what a spreadsheet shows
};

struct Sheet {
    std::map<std::pair<int, int>, SheetCell> cells;   // by (row, column), from 1
    std::map<int, double> widths;                     // by column
    int formulas = 0;

    const SheetCell* at(int row, int column) const;
    // The text shown in a cell, "" when it is empty.
    QString shown(int row, int column) const;
    // The texts shown in one row, columns 1 to `columns`.
    QStringList row(int row, int columns = 7) const;
    // The highest row with a cell, 0 for an empty sheet.
    int lastRow() const;
};

// Fails the running test when the file cannot be read.
Sheet readSheet(const QString& path, const QLocale& locale = QLocale());

} // namespace testing_support
