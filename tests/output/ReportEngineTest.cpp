// The report engine on its own: rows read from a real tblReport, paged on Letter and
// A4, values formatted, text fitted, and the pages written to PDF files and a printer
// and read back.
#include "data/Ledger.h"
#include "output/ReportDocument.h"
#include "output/ReportFill.h"
#include "output/ReportOutput.h"
#include "output/rptMain.h"
#include "platform/AppError.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/PdfText.h"
#include "tests/support/LedgerEnvironment.h"

#include <QDateTime>
#include <QFontInfo>
#include <QPrinter>
#include <QProcess>
#include <gtest/gtest.h>

using namespace output;

namespace {

class ReportEngine : public ::testing::Test {
protected:
    void SetUp() override { env.openLedger(); }

    // tblReport holding rows numbered 1 to count: deposit i, withdrawal 0.5, dated
    // 5 March 2021.
    void seed(int count)
    {
        if (count > 0)
            env.sqlite(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                  "insert into tblReport select '2021-03-05', i, 0.5, 'Account ' || i, "
                                  "'Row ' || i from n")
                       .arg(count));
    }
    // The rows of tblReport as the ledger report binds them.
    const ReportRows& read()
    {
        data::Recordset rs;
        rs.Open(kReportQuery, data::connection());
        RecordsetSource source(rs);
        rows = ReportRows(source, definition.boundFields());
        return rows;
    }

    testing_support::LedgerEnvironment env;
    ReportDefinition definition = rptMainDefinition();
    ReportRows rows;
};

QString tempPath(const testing_support::TestEnvironment& env, const char* name)
{
    return env.root() + u'/' + QString::fromLatin1(name);
}

} // namespace

TEST_F(ReportEngine, PagesHoldTheHeaderEveryTimeAndTheFooterOnceAfterTheLastRow)
{
    // Letter: 37 rows a page under the header, and the footer's 780 twips fit below at
    // most 34 of them; A4 takes 40 and 37.
    struct Case { QPageSize::PageSizeId paper; int rows; int pages; qsizetype lastPageFirstRow; };
    const Case cases[] = {
        {QPageSize::Letter, 0, 1, 0},     {QPageSize::Letter, 34, 1, 0},  {QPageSize::Letter, 35, 2, 35},
        {QPageSize::Letter, 37, 2, 37},   {QPageSize::Letter, 38, 2, 37}, {QPageSize::Letter, 200, 6, 185},
        {QPageSize::A4, 37, 1, 0},        {QPageSize::A4, 38, 2, 38},     {QPageSize::A4, 190, 5, 160},
        {QPageSize::A4, 200, 6, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows on " << QPageSize::name(c.paper).toStdString());
        env.sqlite(QStringLiteral("delete from tblReport"));
        seed(c.rows);
        const ReportDocument document(definition, read(), QPageSize(c.paper));
        EXPECT_EQ(document.pageCount(), c.pages);
        EXPECT_EQ(document.reportFooterPage(), c.pages - 1);
        EXPECT_EQ(document.rowsOn(c.pages - 1).first, c.lastPageFirstRow);
        EXPECT_EQ(document.rowsOn(c.pages - 1).second, c.rows);
    }
    // A hundred thousand rows are some 2,700 Letter pages, paged without drawing one.
    env.sqlite(QStringLiteral("delete from tblReport"));
    seed(100000);
    const ReportDocument large(definition, read(), QPageSize(QPageSize::Letter));
    EXPECT_EQ(large.pageCount(), 2703);
    EXPECT_EQ(large.rowsOn(2702), std::make_pair(qsizetype(99974), qsizetype(100000)));
}

TEST_F(ReportEngine, ValuesShowInTheirFormatsWithEnglishMonthsUnderAnyLanguage)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    struct Case { QVariant value; const char* format; const char* shown; };
    const Case cases[] = {
        {QDate(2021, 3, 5), "dd MMM yyyy", "05 Mar 2021"},
        {QDate(2021, 12, 25), "dd MMM yyyy", "25 Dec 2021"},
        {QDateTime(QDate(2021, 5, 1), QTime(13, 30), Qt::UTC), "dd MMM yyyy", "01 May 2021"},
        {1234.5, "$#,##0.00", "$1.234,50"},
        {-5.0, "#,##0.00\u20AC", "-5,00\u20AC"},
        {0.0, "#,##0.00", "0,00"},
        {12.5, "", "12,5"},
        {QStringLiteral("12.5"), "$#,##0.00", "$12,50"},
        {QStringLiteral("O'Brien"), "", "O'Brien"},
        {QVariant(), "$#,##0.00", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reportText(c.value, QString::fromUtf8(c.format)), QString::fromUtf8(c.shown)) << c.shown;
    QLocale::setDefault(saved);
}

TEST_F(ReportEngine, FieldsBindWithoutRegardToCaseAndSumsSkipNull)
{
    seed(3);
    env.sqlite(QStringLiteral("insert into tblReport values ('2021-03-06', null, null, null, null)"));
    read();
    ASSERT_EQ(rows.count(), 4);
    // The definition asks for "ValueIN" and "ValueOUT"; the table calls them ValueIn and ValueOut.
    const int in = rows.fieldIndex(QStringLiteral("valuein"));
    const int out = rows.fieldIndex(QStringLiteral("VALUEOUT"));
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    EXPECT_EQ(rows.sum(in), 6);
    EXPECT_EQ(rows.sum(out), 1.5);
    EXPECT_FALSE(rows.value(3, in).isValid());
    EXPECT_EQ(rows.value(0, rows.fieldIndex(QStringLiteral("date"))), QVariant(QDate(2021, 3, 5)));

    // A field the source lacks is the data source's error, raised when the rows are read.
    ReportDefinition other = definition;
    other.Sections(QStringLiteral("Section1")).Controls(QStringLiteral("Text5")).DataField = QStringLiteral("Memo");
    data::Recordset rs;
    rs.Open(kReportQuery, data::connection());
    RecordsetSource source(rs);
    EXPECT_THROW(ReportRows(source, other.boundFields()), platform::AppError);
    EXPECT_THROW(definition.Sections(QStringLiteral("Section9")), platform::AppError);
    EXPECT_THROW(definition.Sections(QStringLiteral("section1")).Controls(QStringLiteral("Text9")), platform::AppError);
}

TEST_F(ReportEngine, AWideNumberIsNeverCutButAWideTextEndsInAnEllipsis)
{
    const QFont font = reportFont({8.25, false});
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
    const QFontMetricsF metrics(font);
    const QString amount = QStringLiteral("$1,234,567,890.12");
    const double width = metrics.horizontalAdvance(amount);

    const FittedText fits = fitText(QStringLiteral("$1.00"), true, font, 1140, 1701);
    EXPECT_EQ(fits.text, "$1.00");
    EXPECT_EQ(fits.font.pixelSize(), font.pixelSize());

    // Room to the right: the number runs on into it at its own size, short of the next control.
    const FittedText runsOn = fitText(amount, true, font, width / 2, width + kGutter + 10);
    EXPECT_EQ(runsOn.text, amount);
    EXPECT_EQ(runsOn.font.pixelSize(), font.pixelSize());
    EXPECT_EQ(runsOn.width, width + 10);

    // No room: a smaller size, all of it.
    const FittedText shrunk = fitText(amount, true, font, width / 2, width / 2 + kGutter);
    EXPECT_EQ(shrunk.text, amount);
    EXPECT_LT(shrunk.font.pixelSize(), font.pixelSize());
    EXPECT_LE(QFontMetricsF(shrunk.font).horizontalAdvance(amount), width / 2);

    // Text is cut at the box, never run on.
    const QString description = QStringLiteral("A description far too long for its column in the report");
    const FittedText cut = fitText(description, false, font, 1500, 8505);
    EXPECT_TRUE(cut.text.endsWith(QChar(0x2026)));
    EXPECT_TRUE(description.startsWith(cut.text.chopped(1)));
    EXPECT_LE(metrics.horizontalAdvance(cut.text), 1500);
    // Where the next control starts inside the box, the cut comes short of it.
    const FittedText overlapped = fitText(description, false, font, 1500, 1200);
    EXPECT_TRUE(overlapped.text.endsWith(QChar(0x2026)));
    EXPECT_LE(metrics.horizontalAdvance(overlapped.text), 1200 - kGutter);
}

TEST_F(ReportEngine, APdfHoldsEveryPageAsDrawnInTheReportsFonts)
{
    seed(80);
    env.sqlite(QStringLiteral("update tblReport set ValueIn = 1234567890.5 where ValueIn = 80"));
    definition.Sections(QStringLiteral("Section5")).Controls(QStringLiteral("lblBalance")).Caption =
        QStringLiteral("$42.00");
    const ReportDocument document(definition, read(), QPageSize(QPageSize::A4));
    ASSERT_EQ(document.pageCount(), 3);   // 40, 40, and the footer alone
    const QString path = tempPath(env, "engine.pdf");
    ASSERT_TRUE(writePdf(document, path, definition.title));

    const QStringList pages = testing_support::pdfPages(path);
    ASSERT_EQ(pages.size(), 3);
    for (const QString& page : pages) {
        const QStringList lines = testing_support::pageLines(page);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.first(), "Date Deposit Withdrawal Account Description");
    }
    EXPECT_EQ(testing_support::pageLines(pages[0]).at(1), "05 Mar 2021 $1.00 $0.50 Account 1 Row 1");
    EXPECT_EQ(testing_support::pageLines(pages[1]).last(), "05 Mar 2021 $1,234,567,890.50 $0.50 Account 80 Row 80");
    EXPECT_FALSE(pages[1].contains(QStringLiteral("Total IN")));
    EXPECT_EQ(testing_support::pageLines(pages[2]).mid(1),
              (QStringList{"Total IN Total OUT Balance", "$1,234,571,050.50 $40.00 $42.00"}));

    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {path});
    ASSERT_TRUE(fonts.waitForFinished());
    const QString used = QString::fromUtf8(fonts.readAllStandardOutput());
    EXPECT_TRUE(used.contains(QStringLiteral("LiberationSans-Bold")));
    EXPECT_TRUE(used.contains(QStringLiteral("LiberationSans ")));

    // A file that cannot be made says why and leaves nothing behind.
    EXPECT_THROW(writePdf(document, env.root() + QStringLiteral("/missing/folder/x.pdf"), definition.title),
                 platform::AppError);
    // Stopped half way: nothing written, an earlier file left as it was.
    const QByteArray before = testing_support::fileHash(path);
    EXPECT_FALSE(writePdf(document, path, definition.title, [](int done, int) { return done < 1; }));
    EXPECT_EQ(testing_support::fileHash(path), before);
}

TEST_F(ReportEngine, APrinterGetsTheReportOnItsOwnPaperAndOnlyThePagesAsked)
{
    seed(80);
    read();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(tempPath(env, "printed.pdf"));
    printer.setPageSize(QPageSize(QPageSize::Letter));
    QPageRanges ranges;
    ranges.addRange(2, 3);
    printer.setPageRanges(ranges);
    ASSERT_TRUE(printReport(definition, rows, printer));
    // On Letter: 37, 37 and 6 rows with the footer; pages 2 and 3 printed.
    const QStringList pages = testing_support::pdfPages(printer.outputFileName());
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(testing_support::pageLines(pages[0]).at(1), "05 Mar 2021 $38.00 $0.50 Account 38 Row 38");
    EXPECT_EQ(testing_support::pageLines(pages[1]).at(1), "05 Mar 2021 $75.00 $0.50 Account 75 Row 75");
    EXPECT_TRUE(pages[1].contains(QStringLiteral("Total IN")));
}
