#include "output/WorkbookWriter.h"

#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>
#include <xlsxwriter.h>

namespace output {

namespace {

// A spreadsheet column is at most 255 characters wide.
constexpr double kMaxColumnWidth = 255;

// Column widths count the digits of the workbook's font (Calibri 11 pt: 7 of 96 dpi
// pixels a digit) that fit. A spreadsheet without Calibri draws in another font, most
// often Liberation Sans (Arial's widths) or DejaVu Sans, up to 15% wider still: texts
// are measured in Liberation Sans at 11 pt, given that 15% and a digit and a half of
// margin, so no program shows "######" for a date.
constexpr double kFontPixels = 11.0 * 96 / 72;
constexpr double kDigitPixels = 7;
constexpr double kWiderFont = 1.15;
constexpr double kMargin = 1.5;

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

// Code points in UTF-8, as the library counts a text against a cell's bound.
qsizetype codePoints(const QByteArray& utf8)
{
    qsizetype count = 0;
    for (const char byte : utf8)
        count += (byte & 0xC0) != 0x80;
    return count;
}

// The first `count` code points of text.
QString firstCodePoints(const QString& text, qsizetype count)
{
    qsizetype end = 0;
    for (; end < text.size() && count > 0; --count)
        end += text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate() ? 2 : 1;
    return text.left(end);
}

} // namespace

QString cellText(const QString& text, bool* cut)
{
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c == 0 || c == 0xFFFE || c == 0xFFFF || QChar::isSurrogate(c))
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    if (cut)
        *cut = false;
    // The file's own escapes of "_xHHHH_" count against the bound too.
    if ((out.size() <= kMaxCellLength && !out.contains(QStringLiteral("_x")))
        || codePoints(fileText(out)) <= kMaxCellLength)
        return out;
    if (cut)
        *cut = true;
    for (qsizetype keep = kMaxCellLength - 1;;) {
        QString shortened = firstCodePoints(out, keep) + QChar(0x2026);
        const qsizetype written = codePoints(fileText(shortened));
        if (written <= kMaxCellLength)
            return shortened;
        keep -= written - kMaxCellLength;
    }
}

namespace {

// East Asian wide characters, two digits wide in any font that has them.
bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

int textWidth(const QString& text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        width += isWide(c) ? 2 : 1;
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

void WorkbookWriter::put(int row, int column, const QString& given, CellKind kind)
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
    if (given.isEmpty())
        return;
    bool cut = false;
    const QString text = cellText(given, &cut);
    m_cutTexts += cut ? 1 : 0;
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
    m_widths[c] = std::max(m_widths[c], drawnWidth(text));
}

double WorkbookWriter::drawnWidth(const QString& text)
{
    if (m_advances.empty()) {
        // Without the windows' font machinery (no application object), by counting.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return textWidth(text);
        m_font = std::make_unique<QFontMetricsF>([] {
            QFont font(QStringLiteral("Liberation Sans"));
            font.setPixelSize(100);   // large enough that hinting does not round the widths
            font.setHintingPreference(QFont::PreferNoHinting);
            return font;
        }());
        m_advances.assign(0x10000, -1);
    }
    const double perPixel = kFontPixels / 100 / kDigitPixels;
    double width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // Measured as a text, so a character the font lacks is measured in the font that
        // draws it; a wide character is two digits even where no font here has it.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const double drawn = m_font->horizontalAdvance(QStringView(text).sliced(i, 2).toString()) * perPixel;
            width += std::max(drawn, isWide(QChar::surrogateToUcs4(c.unicode(), text[i + 1].unicode())) ? 2.0 : 0.0);
            ++i;
            continue;
        }
        float& advance = m_advances[c.unicode()];
        if (advance < 0)
            advance = float(std::max(m_font->horizontalAdvance(QString(c)) * perPixel, isWide(c.unicode()) ? 2.0 : 0.0));
        width += advance;
    }
    return width;
}

void WorkbookWriter::fitColumns()
{
    if (!m_book)
        throw platform::AppError(QStringLiteral("The workbook is closed"));
    CNumbers numbers;
    for (size_t c = 0; c < m_widths.size(); ++c) {
        if (m_widths[c] > 0) {
            const double width = std::min(kMaxColumnWidth, std::ceil((m_widths[c] * kWiderFont + kMargin) * 4) / 4);
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
