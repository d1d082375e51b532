// Workbooks written and read back with a real reader: typed cells show exactly the
// texts they were made from under several locales and currency patterns, what cannot be
// shown that way stays text, no cell is ever a formula, odd characters survive, columns
// fit their texts, and failures leave no half-written file behind.
#include "output/WorkbookWriter.h"

#include "currency/AmountFormat.h"
#include "platform/AppError.h"
#include "platform/Conversions.h"
#include "tests/support/SheetReader.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

using output::CellKind;
using output::WorkbookWriter;
using testing_support::readSheet;

namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);
const QLocale kDE(QLocale::German, QLocale::Germany);

class Workbook : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("book.xlsx")) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

// One column of each kind: ids, dates, amounts, and text.
void setKinds(WorkbookWriter& book)
{
    book.setColumnKind(1, CellKind::Number);
    book.setColumnKind(2, CellKind::Date);
    book.setColumnKind(3, CellKind::Amount);
    book.setColumnKind(4, CellKind::Text);
}

TEST_F(Workbook, TypedCellsShowTheListsTextsUnderEachLocaleAndSymbolPlace)
{
    const struct {
        QLocale locale;
        const char* pattern;
    } cases[] = {
        {kUS, "$#,##0.00"},
        {kDE, "#,##0.00€"},
        {kDE, "$#,##0.00"},
        {QLocale(QLocale::French, QLocale::France), "#,##0.00 €"},     // a no-break space groups
        {QLocale(QLocale::German, QLocale::Switzerland), "CHF #,##0.00"},
        {QLocale(QLocale::Korean, QLocale::SouthKorea), "₩#,##0.00"},   // "yyyy. M. d."
        {QLocale(QLocale::Bulgarian, QLocale::Bulgaria), "#,##0.00 лв."},  // "d.MM.yyyy 'г'."
        {kUS, "\"q\" #,##0.00"},                                         // quotes in the symbol
        {kUS, "0.5,#x#,##0.00"},                                         // format characters in it
        {kUS, "#,##0.00"},
    };
    const double amounts[] = {1234.5, -5, 0.004, 1000000.125, 9999999999999.99, -0.01};
    const QDate dates[] = {QDate(2024, 3, 5), QDate(1900, 3, 1), QDate(2031, 12, 31)};
    const qint64 ids[] = {1, 42, 999999999999999};
    for (const auto& c : cases) {
        const QString pattern = QString::fromUtf8(c.pattern);
        SCOPED_TRACE(c.locale.name().toStdString() + " " + c.pattern);
        QStringList texts[3];
        {
            WorkbookWriter book(path(), pattern, c.locale);
            setKinds(book);
            for (int i = 0; i < 6; ++i) {
                texts[0] << QString::number(ids[i % 3]);
                texts[1] << platform::dateText(dates[i % 3], c.locale);
                texts[2] << currency::formatAmount(amounts[i], pattern, c.locale);
                for (int k = 0; k < 3; ++k)
                    book.write(i + 1, k + 1, texts[k].back());
            }
            book.close();
        }
        const auto sheet = readSheet(path(), c.locale);
        EXPECT_EQ(sheet.formulas, 0);
        for (int i = 0; i < 6; ++i) {
            const char* types[] = {"number", "date", "number"};
            for (int k = 0; k < 3; ++k) {
                SCOPED_TRACE(texts[k][i].toStdString());
                ASSERT_NE(sheet.at(i + 1, k + 1), nullptr);
                EXPECT_EQ(sheet.at(i + 1, k + 1)->type, types[k]);
                EXPECT_EQ(sheet.shown(i + 1, k + 1), texts[k][i]);
            }
        }
        EXPECT_EQ(sheet.at(1, 3)->value.toDouble(), 1234.5);   // the value itself, to sum with
        EXPECT_EQ(sheet.at(1, 2)->value.toString(), "2024-03-05");
        QFile::remove(path());
    }
}

TEST_F(Workbook, TextsASpreadsheetWouldShowDifferentlyStayTextAndNothingIsAFormula)
{
    const QString pattern = QStringLiteral("$#,##0.00");
    const struct {
        CellKind kind;
        const char* text;
    } cases[] = {
        {CellKind::Number, "007"},
        {CellKind::Number, "1234567890123456"},          // past 15 digits
        {CellKind::Number, "=1+1"},
        {CellKind::Number, "1.5"},
        {CellKind::Amount, "$12,345,678,901,234.56"},    // 16 significant digits
        {CellKind::Amount, "$1234.50"},                  // not grouped as the list groups
        {CellKind::Amount, "$1,234.5"},
        {CellKind::Amount, "1,234.50"},                  // no symbol
        {CellKind::Amount, "$-5.00"},
        {CellKind::Amount, "-$0.00"},
        {CellKind::Amount, "$01.00"},
        {CellKind::Amount, "$1,23.00"},
        {CellKind::Amount, "$1234,567.00"},
        {CellKind::Amount, "$,123.00"},
        {CellKind::Amount, "$.50"},
        {CellKind::Amount, "$1.5e3"},
        {CellKind::Amount, "=$1.00"},
        {CellKind::Date, "2/28/1900"},                   // before spreadsheets count days right
        {CellKind::Date, "3/5/2024 1:02:03 PM CET"},     // with a time of day
        {CellKind::Date, "03/05/2024"},
        {CellKind::Date, "2024-03-05"},
        {CellKind::Text, "42"},
        {CellKind::Text, "=SUM(A1:A3)"},
        {CellKind::Text, "+1"},
        {CellKind::Text, "@x"},
    };
    {
        WorkbookWriter book(path(), pattern, kUS);
        int row = 0;
        for (const auto& c : cases) {
            book.setColumnKind(1, c.kind);
            book.write(++row, 1, QString::fromUtf8(c.text));
        }
        book.close();
    }
    const auto sheet = readSheet(path(), kUS);
    EXPECT_EQ(sheet.formulas, 0);
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto* cell = sheet.at(++row, 1);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->type, "text");
        EXPECT_EQ(cell->shown, QString::fromUtf8(c.text));
    }

    // Dates in other digits than 0-9, or with the month's name, as some locales show them.
    for (const QLocale& locale : {QLocale(QLocale::Arabic, QLocale::Egypt), QLocale::c()}) {
        const QString date = platform::dateText(QDate(2024, 3, 5), locale);
        {
            WorkbookWriter book(path(), pattern, locale);
            book.setColumnKind(1, CellKind::Date);
            book.write(1, 1, date);
            book.close();
        }
        const auto other = readSheet(path(), locale);
        EXPECT_EQ(other.at(1, 1)->type, "text") << date.toStdString();
        EXPECT_EQ(other.shown(1, 1), date);
    }
}

TEST_F(Workbook, ControlCharactersMarkupAndEscapeLookalikesShowAsWritten)
{
    const QStringList texts = {QStringLiteral("bell\x07here"), QStringLiteral("_x0041_ stays"),
                               QStringLiteral("<b>&amp;</b> \"quoted\""), QStringLiteral("tab\there\nline"),
                               QStringLiteral("  padded  "), QStringLiteral("Zürich 東京 🙂")};
    {
        WorkbookWriter book(path(), QStringLiteral("$#,##0.00"), kUS);
        for (int i = 0; i < texts.size(); ++i)
            book.write(i + 1, 1, texts[i]);
        book.close();
    }
    const auto sheet = readSheet(path(), kUS);
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(sheet.shown(i + 1, 1), texts[i]) << i;
}

TEST_F(Workbook, NumbersAreWrittenWithAPointUnderACommaNumericLocale)
{
    // The C library's own German locale, built into the temporary folder.
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"), {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                                                  QStringLiteral("UTF-8"), dir.filePath(QStringLiteral("de_DE.UTF-8"))});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() > 1)   // 1: warnings only
        GTEST_SKIP() << "localedef cannot build de_DE here";
    const QByteArray oldPath = qgetenv("LOCPATH");
    qputenv("LOCPATH", QFile::encodeName(dir.path()));
    const std::string oldNumeric = std::setlocale(LC_NUMERIC, nullptr);
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    {
        WorkbookWriter book(path(), QStringLiteral("$#,##0.00"), kUS);
        setKinds(book);
        book.write(1, 3, QStringLiteral("$1,234.50"));
        book.write(1, 4, QStringLiteral("a text as wide as can be"));
        book.fitColumns();
        book.close();
    }
    std::setlocale(LC_NUMERIC, oldNumeric.c_str());
    qputenv("LOCPATH", oldPath);
    if (!german || std::string(probe) != "0,5")
        GTEST_SKIP() << "the German numeric locale did not take";
    const auto sheet = readSheet(path(), kUS);
    EXPECT_EQ(sheet.at(1, 3)->value.toDouble(), 1234.5);
    EXPECT_EQ(sheet.shown(1, 3), "$1,234.50");
    EXPECT_GT(sheet.widths.at(4), sheet.widths.at(3));
}

TEST_F(Workbook, ColumnsFitTheirLongestTextAndEmptyColumnsAreLeftAlone)
{
    {
        WorkbookWriter book(path(), QStringLiteral("$#,##0.00"), kUS);
        setKinds(book);
        book.writeText(1, 1, QStringLiteral("ID"));
        book.write(2, 1, QStringLiteral("7"));
        book.write(2, 3, QStringLiteral("$1,234,567.89"));
        book.write(3, 3, QStringLiteral("$1.00"));
        book.writeText(4, 4, QStringLiteral("東京東京"));   // wide characters: eight digits wide
        book.writeText(5, 6, QStringLiteral("Balance: -$998,735.62"));
        book.fitColumns();
        book.close();
    }
    const auto sheet = readSheet(path(), kUS);
    // Each column at least as wide as its longest text, in digit widths.
    EXPECT_GE(sheet.widths.at(1), 2);
    EXPECT_GE(sheet.widths.at(3), 13);
    EXPECT_GE(sheet.widths.at(4), 8);
    EXPECT_GE(sheet.widths.at(6), 21);
    EXPECT_LT(sheet.widths.at(1), sheet.widths.at(4));
    EXPECT_LT(sheet.widths.at(3), sheet.widths.at(6));
    EXPECT_EQ(sheet.widths.count(2), 0u);
    EXPECT_EQ(sheet.widths.count(5), 0u);
}

TEST_F(Workbook, ColumnsHoldTheirTextsInTheWiderFontsASpreadsheetMayDrawWith)
{
    const QStringList texts = {QStringLiteral("12/25/2021"), QStringLiteral("$1,234,567.89"), QStringLiteral("WWWWWWWW"),
                               QStringLiteral("Balance: -$998,735.62"), QStringLiteral("iiii")};
    {
        WorkbookWriter book(path(), QStringLiteral("$#,##0.00"), kUS);
        setKinds(book);
        for (int i = 0; i < texts.size(); ++i)
            book.write(2, i + 2, texts[i]);   // a date, an amount, texts
        book.fitColumns();
        book.close();
    }
    const auto sheet = readSheet(path(), kUS);
    EXPECT_EQ(sheet.at(2, 2)->type, "date");
    // Drawn in DejaVu Sans at 11 pt, the widest font a spreadsheet without the
    // workbook's own falls back to, with a few pixels of padding either side; a column
    // of w digit widths is 7w + 5 pixels wide.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(100);
    font.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF metrics(font);
    for (int i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i].toStdString());
        const double drawn = metrics.horizontalAdvance(texts[i]) * (11.0 * 96 / 72) / 100;
        EXPECT_GE(sheet.widths.at(i + 2) * 7 + 5, drawn + 6);
        EXPECT_LE(sheet.widths.at(i + 2) * 7 + 5, drawn * 1.6 + 30);   // fitted, not merely wide
    }
}

TEST_F(Workbook, CharactersNoWorkbookCarriesShowReplacedAndTextsPastACellAreCut)
{
    const QChar replacement(QChar::ReplacementCharacter);
    const QChar ellipsis(0x2026);
    // Escape lookalikes near the end: the file writes each longer, and still the cell fits.
    const QString lookalikes = QString(32755, u'e') + QStringLiteral("_x0041__x0042_");
    const struct {
        QString text;
        QString shown;
        bool cut;
    } cases[] = {
        {QStringLiteral("a") + QChar(0) + QStringLiteral("b"), QStringLiteral("a") + replacement + QStringLiteral("b"), false},
        {QStringLiteral("x\uFFFE\uFFFFy"), QStringLiteral("x") + replacement + replacement + QStringLiteral("y"), false},
        {QString(QChar(0xDC00)) + QStringLiteral("z") + QChar(0xD800), replacement + QStringLiteral("z") + replacement, false},
        {QString(32767, u'w'), QString(32767, u'w'), false},
        {QString(32768, u'l'), QString(32766, u'l') + ellipsis, true},
        {QString(32765, QChar(0x00E9)) + QStringLiteral("\U0001F642\U0001F642"),   // by code points, not UTF-16
         QString(32765, QChar(0x00E9)) + QStringLiteral("\U0001F642\U0001F642"), false},
        {QString(32766, u'p') + QStringLiteral("\U0001F642\U0001F642"), QString(32766, u'p') + ellipsis, true},
        {lookalikes, lookalikes.left(32760) + ellipsis, true},
    };
    int cut = 0;
    {
        WorkbookWriter book(path(), QStringLiteral("$#,##0.00"), kUS);
        for (size_t i = 0; i < std::size(cases); ++i) {
            book.write(int(i) + 1, 1, cases[i].text);
            cut += cases[i].cut;
        }
        EXPECT_EQ(book.cutTexts(), cut);
        book.close();
    }
    const auto sheet = readSheet(path(), kUS);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const QString shown = sheet.shown(int(i) + 1, 1);
        EXPECT_EQ(shown.size(), cases[i].shown.size());
        EXPECT_TRUE(shown == cases[i].shown) << shown.right(20).toStdString();
    }
}

TEST_F(Workbook, CellsPastTheSheetAreToldOnceAndTheRestIsStillWritten)
{
    {
        WorkbookWriter book(path(), QStringLiteral("$#,##0.00"), kUS);
        book.write(1, 1, QStringLiteral("first"));
        book.write(1048576, 1, QStringLiteral("last row"));
        EXPECT_THROW(book.write(1048577, 1, QStringLiteral("x")), platform::AppError);
        EXPECT_NO_THROW(book.write(1048578, 1, QStringLiteral("y")));
        EXPECT_NO_THROW(book.write(1048579, 2, QStringLiteral("z")));
        EXPECT_THROW(book.write(0, 1, QStringLiteral("x")), platform::AppError);
        book.close();
        EXPECT_THROW(book.write(2, 1, QStringLiteral("after")), platform::AppError);
    }
    EXPECT_EQ(readSheet(path(), kUS).shown(1, 1), "first");
}

TEST_F(Workbook, AFailedOrAbandonedWorkbookLeavesNoFile)
{
    // The folder goes away before the file is written.
    const QString gone = dir.filePath(QStringLiteral("gone"));
    QDir().mkpath(gone);
    {
        WorkbookWriter book(gone + QStringLiteral("/book.xlsx"), QStringLiteral("$#,##0.00"), kUS);
        book.write(1, 1, QStringLiteral("text"));
        QDir(gone).removeRecursively();
        EXPECT_THROW(book.close(), platform::AppError);
    }
    EXPECT_FALSE(QFile::exists(gone + QStringLiteral("/book.xlsx")));

    // A workbook dropped before it is closed takes its reserved file with it.
    QFile reserved(path());
    ASSERT_TRUE(reserved.open(QIODevice::WriteOnly));
    reserved.close();
    {
        WorkbookWriter book(path(), QStringLiteral("$#,##0.00"), kUS);
        book.write(1, 1, QStringLiteral("text"));
    }
    EXPECT_FALSE(QFile::exists(path()));
}

} // namespace
