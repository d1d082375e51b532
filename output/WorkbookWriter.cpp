#include "output/WorkbookWriter.h"

#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <locale.h>
#include <xlsxwriter.h>

namespace output {

namespace {

// A spreadsheet column is at most 255 characters wide.
constexpr double kMaxColumnWidth = 255;

// The library writes numbers with the C library's printf, which follows the numeric
// locale the program runs under: "1234,5" under a German one, which no spreadsheet
// reads. Each of its calls runs under the "C" numeric locale instead.
class CNumbers {
public:
    CNumbers() : m_previous(uselocale(cLocale())) {}
    ~CNumbers() { uselocale(m_previous); }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    static locale_t cLocale()
    {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        return c;
    }
    locale_t m_previous;
};

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// A text as the file stores it. A spreadsheet reads _xHHHH_ as the character HHHH (the
// library writes control characters so); a text that holds such a sequence itself gets
// its "_" written that way, so it shows as it was.
QByteArray fileText(const QString& text)
{
    auto escapeLike = [&](qsizetype i) {
        return text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && isHex(text[i + 2])
            && isHex(text[i + 3]) && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == u'_';
    };
    qsizetype i = text.indexOf(QStringLiteral("_x"));
    while (i >= 0 && !escapeLike(i))
        i = text.indexOf(QStringLiteral("_x"), i + 1);
    if (i < 0)
        return text.toUtf8();
    QString escaped = text.left(i);
    for (; i < text.size(); ++i)
        escaped += escapeLike(i) ? QStringLiteral("_x005F_") : QString(text[i]);
    return escaped.toUtf8();
}

} // namespace

int textWidth(const QString& text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x1100) {
            ++width;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const bool wide = c <= 0x115F || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
            || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
            || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

WorkbookWriter::WorkbookWriter(const QString& path, const QString& amountPattern, const QLocale& locale)
    : m_path(path), m_folder(QFile::encodeName(QFileInfo(path).absolutePath())), m_types(amountPattern, locale)
{
    CNumbers numbers;
    // Rows go to a temporary file as they are finished: memory stays flat however long
    // the list. The temporary file sits beside the workbook, not in a /tmp that may be
    // held in memory.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_folder.data();
    m_book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (m_book)
        m_sheet = workbook_add_worksheet(m_book, nullptr);
    if (!m_sheet) {
        if (m_book)
            lxw_workbook_free(m_book);
        m_book = nullptr;
        QFile::remove(path);
        throw platform::AppError(QStringLiteral("Cannot create the workbook ") + path);
    }
    for (const CellKind kind : {CellKind::Number, CellKind::Date, CellKind::Amount}) {
        const QString code = m_types.formatCode(kind);
        if (code.isEmpty())
            continue;
        lxw_format* format = workbook_add_format(m_book);
        format_set_num_format(format, code.toUtf8().constData());
        m_formats[size_t(kind)] = format;
    }
}

WorkbookWriter::~WorkbookWriter()
{
    if (m_book) {
        lxw_workbook_free(m_book);
        QFile::remove(m_path);
    }
}

void WorkbookWriter::check(int error) const
{
    if (error != LXW_NO_ERROR)
        throw platform::AppError(QString::fromUtf8(lxw_strerror(lxw_error(error))));
}

void WorkbookWriter::setColumnKind(int column, CellKind kind)
{
    if (size_t(column) > m_kinds.size())
        m_kinds.resize(size_t(column), CellKind::Text);
    m_kinds[size_t(column) - 1] = kind;
}

void WorkbookWriter::write(int row, int column, const QString& text)
{
    put(row, column, text, size_t(column) <= m_kinds.size() ? m_kinds[size_t(column) - 1] : CellKind::Text);
}

void WorkbookWriter::writeText(int row, int column, const QString& text)
{
    put(row, column, text, CellKind::Text);
}

void WorkbookWriter::put(int row, int column, const QString& text, CellKind kind)
{
    if (!m_book)
        throw platform::AppError(QStringLiteral("The workbook is closed"));
    if (row < 1 || column < 1)
        throw platform::AppError(QStringLiteral("Subscript out of range"));
    if (row > LXW_ROW_MAX || column > LXW_COL_MAX) {
        // Told once: a list longer than a sheet would otherwise report every cell past its end.
        if (m_beyondSheetTold)
            return;
        m_beyondSheetTold = true;
        throw platform::AppError(QStringLiteral("A worksheet holds %1 rows and %2 columns; cells past them are left out")
                                     .arg(LXW_ROW_MAX).arg(LXW_COL_MAX));
    }
    if (text.isEmpty())
        return;
    const lxw_row_t r = lxw_row_t(row - 1);
    const lxw_col_t c = lxw_col_t(column - 1);
    CNumbers numbers;
    lxw_format* format = m_formats[size_t(kind)];
    const std::optional<double> value = format ? m_types.value(kind, text) : std::nullopt;
    if (value)
        check(worksheet_write_number(m_sheet, r, c, *value, format));
    else
        check(worksheet_write_string(m_sheet, r, c, fileText(text).constData(), nullptr));
    if (size_t(column) > m_widths.size())
        m_widths.resize(size_t(column), 0);
    m_widths[c] = std::max(m_widths[c], textWidth(text));
}

void WorkbookWriter::fitColumns()
{
    if (!m_book)
        throw platform::AppError(QStringLiteral("The workbook is closed"));
    CNumbers numbers;
    for (size_t c = 0; c < m_widths.size(); ++c) {
        if (m_widths[c] > 0) {
            // A little room beside the text, as a spreadsheet leaves when it fits a column.
            const double width = std::min(kMaxColumnWidth, m_widths[c] + 1.0);
            check(worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr));
        }
    }
}

void WorkbookWriter::close()
{
    if (!m_book)
        throw platform::AppError(QStringLiteral("The workbook is closed"));
    lxw_error error;
    {
        CNumbers numbers;
        error = workbook_close(m_book);   // frees the workbook, written or not
    }
    m_book = nullptr;
    m_sheet = nullptr;
    if (error != LXW_NO_ERROR) {
        QFile::remove(m_path);
        check(error);
    }
}

} // namespace output
