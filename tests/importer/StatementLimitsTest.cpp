// What a statement may hold and still be imported as read: days the ledger keeps, amounts
// it keeps to the cent, texts of a sane length however the file abbreviates them, and
// UTF-8 with a few stray bytes. The same rows written as CSV, QIF, OFX and CAMT.053.
#include "importer/StatementReader.h"
#include "importer/TextDecoding.h"
#include "tests/importer/StatementWriters.h"

#include <gtest/gtest.h>

using namespace importer;
using namespace testing_support;

namespace {

QStringList problems(const Statement& s)
{
    QStringList out;
    for (const Row& r : s.rows)
        out.append(r.problem);
    return out;
}

TEST(StatementLimits, aRowOnADayTheLedgerCannotKeepIsNotReadableAndTheOthersRead)
{
    const QList<StatementRow> rows = {{"2024-03-05", "-3.50", "Coffee"},     {"9999-12-31", "-1.00", "Last day"},
                                      {"0001-01-01", "-2.00", "Year one"},   {"0099-12-31", "-4.00", "Before"},
                                      {"0100-01-01", "-5.00", "First day"}};
    for (const Writer& format : kFormats) {
        SCOPED_TRACE(format.name);
        const Statement s = readStatement(format.write(rows), QString::fromLatin1(format.name));
        ASSERT_EQ(s.refusal, QString());
        ASSERT_EQ(s.rows.size(), 5);
        const QStringList p = problems(s);
        EXPECT_EQ(p.at(0) + p.at(1) + p.at(4), QString());
        for (const int i : {2, 3}) {
            EXPECT_TRUE(p.at(i).startsWith(QStringLiteral("Line %1: the date ").arg(s.rows.at(i).line))) << p.at(i).toStdString();
            EXPECT_TRUE(p.at(i).contains(QString::fromLatin1(rows.at(i).date))) << p.at(i).toStdString();
            EXPECT_TRUE(p.at(i).contains(u"0100-01-01 to 9999-12-31")) << p.at(i).toStdString();
        }
        EXPECT_EQ(s.rows.at(1).date, QDate(9999, 12, 31));
        EXPECT_EQ(s.readableCount(), 3);
    }
}

struct AmountCase {
    const char* amount;
    const char* keptAs;   // nullptr: kept exactly
};

TEST(StatementLimits, anAmountIsReadOnlyWhenTheLedgerKeepsItToTheCent)
{
    // Up to 15 digits every amount is kept; above, only those whose nearest double writes
    // back as the same decimal; 10^15 and more never.
    const AmountCase cases[] = {
        {"0.01", nullptr},
        {"-0.10", nullptr},
        {"9999999999999.99", nullptr},
        {"-9999999999999.99", nullptr},
        {"99999999999999.97", nullptr},
        {"99999999999999.99", "99999999999999.98"},
        {"-99999999999999.99", "-99999999999999.98"},
        {"90071992547409.92", nullptr},
        {"90071992547409.93", "90071992547409.94"},
        {"12345678901234.56", nullptr},
        {"999999999999999.90", nullptr},
        {"999999999999999.99", "too large"},
        {"-999999999999999.99", "too large"},
    };
    for (const AmountCase& c : cases) {
        for (const Writer& format : kFormats) {
            SCOPED_TRACE(std::string(c.amount) + " in " + format.name);
            const Statement s = readStatement(format.write({{"2024-03-05", c.amount, QStringLiteral("Big")}}),
                                              QString::fromLatin1(format.name));
            ASSERT_EQ(s.refusal, QString());
            ASSERT_EQ(s.rows.size(), 1);
            const Row& row = s.rows.first();
            if (!c.keptAs) {
                EXPECT_EQ(row.problem, QString());
                EXPECT_EQ(centsText(row.cents), QString::fromLatin1(c.amount));
            } else {
                EXPECT_FALSE(row.readable());
                EXPECT_TRUE(row.problem.contains(QString::fromLatin1(c.keptAs))) << row.problem.toStdString();
            }
        }
    }
}

TEST(StatementLimits, aDescriptionLongerThanAnyBankWritesIsCutAndToldOnce)
{
    const QString longText = QString(5000, u'x');
    const QList<StatementRow> rows = {{"2024-03-05", "-1.00", QStringLiteral("short")},
                                      {"2024-03-06", "-2.00", longText},
                                      {"2024-03-07", "-3.00", longText}};
    for (const Writer& format : kFormats) {
        SCOPED_TRACE(format.name);
        const Statement s = readStatement(format.write(rows), QString::fromLatin1(format.name));
        ASSERT_EQ(s.refusal, QString());
        ASSERT_EQ(s.readableCount(), 3);
        EXPECT_EQ(s.rows.at(0).description, u"short");
        EXPECT_EQ(s.rows.at(1).description, QString(kMaxTextLength, u'x'));
        EXPECT_EQ(s.rows.at(2).description.size(), kMaxTextLength);
        const QStringList cutNotes = s.notes.filter(QStringLiteral("longer than 4096 characters"));
        ASSERT_EQ(cutNotes.size(), 1) << s.notes.join(u'|').toStdString();
        EXPECT_TRUE(cutNotes.first().startsWith(QStringLiteral("Line %1 and 1 more rows").arg(s.rows.at(1).line)));
    }
}

QByteArray entityDoctype(int length)
{
    return "<!DOCTYPE Document [<!ENTITY a \"" + QByteArray(length, 'y') + "\">]>\n";
}

QString uses(int count)
{
    return QStringLiteral("&a;").repeated(count);
}

TEST(StatementLimits, entitiesExpandOnlyAsFarAsAStatementMayGrow)
{
    struct Case {
        const char* name;
        QByteArray file;
        const char* refusal;      // "" when the file reads
        qsizetype description;    // its length when it reads
    };
    const QByteArray laughs = "<!DOCTYPE Document [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                              "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                              "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>\n";
    const Case cases[] = {
        {"an entity used a few times reads as its text", camtOf({{"2024-03-05", "-1.00", uses(3)}}, entityDoctype(5)), "", 15},
        {"3,000 characters used 2,000 times are cut to one description",
         camtOf({{"2024-03-05", "-1.00", uses(2000)}}, entityDoctype(3000)), "", kMaxTextLength},
        {"3,000 characters used 1,000,000 times would pass the file's limit",
         camtOf({{"2024-03-05", "-1.00", uses(1000000)}}, entityDoctype(3000)), "larger than 64.00 MiB", 0},
        {"nested entities are counted as written out", camtOf({{"2024-03-05", "-1.00", QStringLiteral("&e;").repeated(1000)}}, laughs),
         "larger than 64.00 MiB", 0},
        {"the same spread over many rows", camtOf(QList<StatementRow>(700, {"2024-03-05", "-1.00", QStringLiteral("&e;&e;")}), laughs),
         "larger than 64.00 MiB", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Statement s = readStatement(c.file, QStringLiteral("camt.xml"));
        if (*c.refusal) {
            EXPECT_TRUE(s.refusal.contains(QString::fromLatin1(c.refusal))) << s.refusal.toStdString();
            EXPECT_TRUE(s.rows.isEmpty());
            continue;
        }
        ASSERT_EQ(s.refusal, QString());
        ASSERT_EQ(s.readableCount(), 1);
        EXPECT_EQ(s.rows.first().description.size(), c.description);
    }
}

TEST(StatementLimits, anOfxFieldInCdataReadsAsItsText)
{
    const QByteArray file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?OFX OFXHEADER=\"200\" VERSION=\"220\"?>\n"
                            "<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKACCTFROM><ACCTID>1</ACCTID></BANKACCTFROM>\n"
                            "<BANKTRANLIST><STMTTRN><DTPOSTED>20240305</DTPOSTED><TRNAMT>-1.00</TRNAMT><FITID>A</FITID>\n"
                            "<NAME><![CDATA[Joe's <Diner> & Co]]></NAME><MEMO><![CDATA[table\n4]]> &amp; tip</MEMO></STMTTRN>\n"
                            "<STMTTRN><DTPOSTED>20240306</DTPOSTED><TRNAMT>-2.00</TRNAMT><FITID><![CDATA[B&1]]></FITID>\n"
                            "<NAME>Plain &lt;text&gt;</NAME></STMTTRN>\n"
                            "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n";
    const Statement s = readStatement(file, QStringLiteral("a.ofx"));
    ASSERT_EQ(s.refusal, QString());
    ASSERT_EQ(s.rows.size(), 2);
    EXPECT_EQ(s.rows.at(0).description, u"Joe's <Diner> & Co - table 4 & tip");
    EXPECT_EQ(s.rows.at(1).reference, u"B&1");
    EXPECT_EQ(s.rows.at(1).description, u"Plain <text>");
    EXPECT_EQ(s.rows.at(1).line, 7);   // the line break inside the CDATA counts
}

struct DecodingCase {
    const char* name;
    QByteArray bytes;
    const char* encoding;
    QString text;
    const char* note;   // the start of the note, "" for none
};

TEST(StatementLimits, utf8WithAFewStrayBytesStaysUtf8AndNamesTheirLines)
{
    const QString bad(QChar(0xFFFD));
    const DecodingCase cases[] = {
        {"one stray byte", "Caf\xC3\xA9\nBar\xE9\n", "UTF-8", QString::fromUtf8("Café\nBar") + bad + u'\n', "Line 2 holds"},
        {"stray bytes on three lines", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\n\xFF\nx\n\x80\x80\n\xFE", "UTF-8",
         QString::fromUtf8("äöüä\n") + bad + QStringLiteral("\nx\n") + bad + bad + u'\n' + bad, "Lines 2, 4 and 5 hold"},
        {"on seven lines", "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\n\xFF\n\xFF\n\xFF\n\xFF\n\xFF\n\xFF\n\xFF", "UTF-8",
         QString::fromUtf8("äääääää") + (u'\n' + bad).repeated(7), "Lines 2, 3, 4, 5, 6 and 2 more hold"},
        {"with a byte-order mark", "\xEF\xBB\xBFK\xC3\xA4se \x96 Brot", "UTF-8", QString::fromUtf8("Käse ") + bad + QStringLiteral(" Brot"),
         "Line 1 holds"},
        {"windows-1252 throughout", "Caf\xE9\nBar\xE9 \x80", "windows-1252", QString::fromUtf8("Café\nBaré €"), ""},
        {"more stray bytes than UTF-8", "\xC3\xA9 \xE9 \xE8", "windows-1252", QString::fromUtf8("Ã© é è"), ""},
        {"valid UTF-8", "Gr\xC3\xBC\xC3\x9F" "e", "UTF-8", QString::fromUtf8("Grüße"), ""},
    };
    for (const DecodingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText decoded = decodeText(c.bytes);
        EXPECT_EQ(decoded.encoding, QString::fromLatin1(c.encoding));
        EXPECT_EQ(decoded.text, c.text);
        if (*c.note)
            EXPECT_TRUE(decoded.replacementNote().startsWith(QString::fromLatin1(c.note))) << decoded.replacementNote().toStdString();
        else
            EXPECT_EQ(decoded.replacementNote(), QString());
    }
    // A CSV and a QIF read so keep their rows and say where the stray byte was.
    for (const Writer& format : {kFormats[0], kFormats[1]}) {
        SCOPED_TRACE(format.name);
        const Statement s = readStatement(format.write({{"2024-03-05", "-1.00", QString::fromUtf8("Café")},
                                                        {"2024-03-06", "-2.00", QStringLiteral("Bar@")}})
                                              .replace('@', '\xE9'),
                                          QString::fromLatin1(format.name));
        ASSERT_EQ(s.refusal, QString());
        EXPECT_EQ(s.encoding, u"UTF-8");
        EXPECT_EQ(s.rows.at(0).description, QString::fromUtf8("Café"));
        EXPECT_EQ(s.rows.at(1).description, QStringLiteral("Bar") + bad);
        EXPECT_EQ(s.notes.filter(QStringLiteral("not UTF-8")),
                  QStringList(QStringLiteral("Line %1 holds bytes that are not UTF-8, in a file that otherwise is; they "
                                             "were read as \"\uFFFD\". Check those rows' descriptions.")
                                  .arg(s.rows.at(1).line + (format.name == std::string("a.qif") ? 2 : 0))));
    }
}

} // namespace
