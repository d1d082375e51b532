#pragma once
// A spreadsheet workbook of one sheet, written cell by cell into an .xlsx file. Cells are
// never formulas: a text is a text cell, or a number or date cell with a number format
// that shows that same text, where its column's kind and the text allow (CellTypes).
// Rows are written top to bottom and only the current row is held in memory, so a
// million rows take no more memory than ten.

#include "output/CellTypes.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <array>
#include <memory>
#include <vector>

class QFontMetricsF;
struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace output {

class WorkbookWriter {
public:
    // A workbook to be written to path when it is closed. Its temporary files go into
    // the same folder. Texts are read as the list shows them (see CellTypes).
    WorkbookWriter(const QString& path, const QString& amountPattern, const QLocale& locale = QLocale());
    // A workbook that was not closed is dropped, and its file with it.
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // Rows and columns count from 1. Rows are written in ascending order; within a row
    // any order. An empty text writes nothing.
    void setColumnKind(int column, CellKind kind);
    // A cell of its column's kind: typed where the text reads back, else text. A text
    // holds what a workbook can: a character it cannot carry (NUL, U+FFFE, U+FFFF, half
    // a surrogate pair) is written as U+FFFD, and a text longer than a cell holds
    // (kMaxCellLength) is cut to end in "…" and counted in cutTexts().
    void write(int row, int column, const QString& text);
    // A text cell, whatever the column.
    void writeText(int row, int column, const QString& text);

    // Widens every column to its widest text as a spreadsheet draws it, with room to spare
    // for the fonts a spreadsheet program may draw in instead of the workbook's own.
    void fitColumns();
    // How many texts were cut to fit a cell.
    int cutTexts() const { return m_cutTexts; }
    // Writes the file and lets go of it; on failure the partial file is removed.
    void close();

    const QString& path() const { return m_path; }

private:
    void put(int row, int column, const QString& text, CellKind kind);
    // How wide text draws, in widths of the workbook font's digit.
    double drawnWidth(const QString& text);
    void check(int error) const;

    QString m_path;
    QByteArray m_folder;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    CellTypes m_types;
    std::array<lxw_format*, 4> m_formats{};   // by CellKind; null for text
    std::vector<CellKind> m_kinds;
    std::vector<double> m_widths;               // widest text of each column, in widths of a digit
    std::vector<float> m_advances;              // by UTF-16 code: width in digits, < 0 unknown
    std::unique_ptr<QFontMetricsF> m_font;
    bool m_beyondSheetTold = false;
    int m_cutTexts = 0;
};

// The most characters a spreadsheet cell holds.
inline constexpr qsizetype kMaxCellLength = 32767;

// How wide a text shows, in widths of a digit: East Asian wide characters count twice.
int textWidth(const QString& text);

// A text as a cell can hold it: characters no workbook can carry as U+FFFD, and cut at
// kMaxCellLength characters (counted as the spreadsheet counts them, by code point) to
// end in "…"; *cut tells whether it was cut.
QString cellText(const QString& text, bool* cut = nullptr);

} // namespace output
