// OFX, QFX, QIF and CAMT.053 statements written for the test, and files that are not
// statements at all, read through the one entry point.
#include "importer/StatementReader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace importer;

namespace {

const QByteArray kOfxSgml =
    "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nSECURITY:NONE\r\nENCODING:USASCII\r\nCHARSET:1252\r\n"
    "COMPRESSION:NONE\r\nOLDFILEUID:NONE\r\nNEWFILEUID:NONE\r\n\r\n"
    "<OFX>\r\n<SIGNONMSGSRSV1><SONRS><STATUS><CODE>0<SEVERITY>INFO</STATUS><DTSERVER>20240401</SONRS></SIGNONMSGSRSV1>\r\n"
    "<BANKMSGSRSV1><STMTTRNRS><TRNUID>1<STATUS><CODE>0<SEVERITY>INFO</STATUS>\r\n"
    "<STMTRS><CURDEF>EUR<BANKACCTFROM><BANKID>10020030<ACCTID>1234567<ACCTTYPE>CHECKING</BANKACCTFROM>\r\n"
    "<BANKTRANLIST><DTSTART>20240301<DTEND>20240331\r\n"
    "<STMTTRN>\r\n<TRNTYPE>DEBIT\r\n<DTPOSTED>20240305120000[-5:EST]\r\n<TRNAMT>-3.50\r\n<FITID>A1\r\n"
    "<NAME>Caf\xE9 &amp; Bar\r\n<MEMO>Card 1234\r\n</STMTTRN>\r\n"
    "<STMTTRN>\r\n<TRNTYPE>DEBIT\r\n<DTPOSTED>20240305\r\n<TRNAMT>-3.50\r\n<FITID>A2\r\n<NAME>Caf\xE9 &amp; Bar\r\n"
    "<MEMO>Card 1234\r\n</STMTTRN>\r\n"
    "<STMTTRN>\r\n<TRNTYPE>CREDIT\r\n<DTPOSTED>20240325\r\n<TRNAMT>2500.00\r\n<FITID>A3\r\n<NAME>Salary\r\n</STMTTRN>\r\n"
    "</BANKTRANLIST>\r\n<LEDGERBAL><BALAMT>1234.56<DTASOF>20240331</LEDGERBAL>\r\n"
    "</STMTRS></STMTTRNRS></BANKMSGSRSV1>\r\n</OFX>\r\n";

const QByteArray kOfxXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
    "<?OFX OFXHEADER=\"200\" VERSION=\"220\" SECURITY=\"NONE\" OLDFILEUID=\"NONE\" NEWFILEUID=\"NONE\"?>\n"
    "<OFX><CREDITCARDMSGSRSV1><CCSTMTTRNRS><TRNUID>1</TRNUID><CCSTMTRS><CURDEF>USD</CURDEF>\n"
    "<CCACCTFROM><ACCTID>4111XXXX1111</ACCTID></CCACCTFROM><BANKTRANLIST>\n"
    "<STMTTRN><TRNTYPE>DEBIT</TRNTYPE><DTPOSTED>20240102</DTPOSTED><TRNAMT>-12.00</TRNAMT>\n"
    "<FITID>X9</FITID><NAME>Gr\xC3\xBC" "n Grocer</NAME><MEMO>Gr\xC3\xBC" "n Grocer</MEMO></STMTTRN>\n"
    "<STMTTRN><TRNTYPE>DEBIT</TRNTYPE><DTPOSTED>20240103</DTPOSTED><TRNAMT>-5.00</TRNAMT>\n"
    "<FITID>X9</FITID><NAME>Kiosk</NAME></STMTTRN>\n"
    "<STMTTRN><TRNTYPE>DEBIT</TRNTYPE><DTPOSTED>20240104</DTPOSTED><TRNAMT>-5.0O</TRNAMT>\n"
    "<FITID>X10</FITID><NAME>Typo</NAME></STMTTRN>\n"
    "</BANKTRANLIST></CCSTMTRS></CCSTMTTRNRS></CREDITCARDMSGSRSV1></OFX>\n";

QList<qint64> amounts(const Statement& s)
{
    QList<qint64> out;
    for (const Row& r : s.rows)
        out.append(r.cents);
    return out;
}

TEST(OfxStatements, anSgmlStatementKeepsEachFitidAndItsClosingBalance)
{
    const Statement s = readStatement(kOfxSgml, QStringLiteral("bank.ofx"));
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    EXPECT_EQ(s.format, Format::Ofx);
    EXPECT_EQ(s.account, u"1234567");
    EXPECT_EQ(s.currency, u"EUR");
    ASSERT_EQ(s.rows.size(), 3);
    EXPECT_EQ(amounts(s), (QList<qint64>{-350, -350, 250000}));
    EXPECT_EQ(s.rows.at(0).reference, u"A1");
    EXPECT_EQ(s.rows.at(1).reference, u"A2");
    EXPECT_EQ(s.rows.at(0).date, QDate(2024, 3, 5));   // the day written, whatever the time zone
    EXPECT_EQ(s.rows.at(0).description, QString::fromUtf8("Café & Bar - Card 1234"));
    EXPECT_EQ(s.rows.at(0).line, 16);
    EXPECT_EQ(s.rows.at(2).line, 32);   // counted past the values with line breaks
    ASSERT_TRUE(s.closing.has_value());
    EXPECT_EQ(s.closing->cents, 123456);
    EXPECT_EQ(s.closing->date, QDate(2024, 3, 31));
}

TEST(OfxStatements, anXmlCardStatementKeepsRepeatedFitidsAsSeparateRows)
{
    for (const char* name : {"card.ofx", "card.qfx", "download"}) {
        SCOPED_TRACE(name);
        const Statement s = readStatement(kOfxXml, QString::fromLatin1(name));
        ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
        EXPECT_EQ(s.account, u"4111XXXX1111");
        EXPECT_EQ(s.currency, u"USD");
        ASSERT_EQ(s.rows.size(), 3);
        EXPECT_EQ(s.rows.at(0).reference, u"X9");
        EXPECT_EQ(s.rows.at(1).reference, u"X9");
        EXPECT_EQ(s.rows.at(0).description, QString::fromUtf8("Grün Grocer"));   // the memo only repeats it
        EXPECT_FALSE(s.closing.has_value());
        EXPECT_TRUE(s.rows.at(2).problem.startsWith(u"Line 9:")) << s.rows.at(2).problem.toStdString();
        EXPECT_TRUE(s.rows.at(2).problem.contains(u"-5.0O"));
    }
}

TEST(OfxStatements, sgmlWithoutTheEndTagsOfItsTransactionsKeepsEveryOne)
{
    QByteArray file = kOfxSgml;
    file.replace("</STMTTRN>\r\n", "");
    const Statement s = readStatement(file);
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    EXPECT_EQ(amounts(s), (QList<qint64>{-350, -350, 250000}));
    EXPECT_EQ(s.rows.at(2).reference, u"A3");
}

TEST(OfxStatements, filesThatAreNotAWholeBankStatementAreRefused)
{
    struct Case {
        const char* name;
        QByteArray file;
        const char* reason;
    };
    const qsizetype half = kOfxSgml.indexOf("<STMTTRN>", 700);
    const Case cases[] = {
        {"cut off in the middle", kOfxSgml.left(half + 40), "Line 34: the file ends there"},
        {"cut off after the list", kOfxSgml.left(kOfxSgml.indexOf("</OFX>")), "no </OFX>"},
        {"an error status from the bank",
         "OFXHEADER:100\n<OFX><SIGNONMSGSRSV1><SONRS><STATUS><CODE>15500<SEVERITY>ERROR<MESSAGE>Wrong password"
         "</STATUS></SONRS></SIGNONMSGSRSV1></OFX>\n",
         "Wrong password"},
        {"an investment statement", "OFXHEADER:100\n<OFX><INVSTMTMSGSRSV1><INVSTMTTRNRS><INVSTMTRS>"
                                    "</INVSTMTRS></INVSTMTTRNRS></INVSTMTMSGSRSV1></OFX>\n", "investment"},
        {"two accounts", "OFXHEADER:100\n<OFX><STMTRS><BANKACCTFROM><ACCTID>1</BANKACCTFROM></STMTRS>"
                         "<STMTRS><BANKACCTFROM><ACCTID>2</BANKACCTFROM></STMTRS></OFX>", "2 accounts (1, 2)"},
        {"no OFX element at all", "OFXHEADER:100\nDATA:OFXSGML\n", "no <OFX>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Statement s = readStatement(c.file, QStringLiteral("x.ofx"));
        EXPECT_TRUE(s.rows.isEmpty());
        EXPECT_TRUE(s.refusal.contains(QString::fromLatin1(c.reason))) << s.refusal.toStdString();
    }
}

TEST(QifStatements, bankAndCardSectionsReadAndOtherSectionsAreNoted)
{
    const QByteArray file = "!Account\nNChecking\nTBank\n^\n"
                            "!Type:Bank\n"
                            "D1/2'05\nT-3.50\nPCoffee\nMlatte\n^\n"
                            "D1/2'05\nT-3.50\nPCoffee\nMlatte\n^\n"
                            "D12/25'05\nT1,200.00\nPSalary\n^\n"
                            "!Type:Invst\nD1/3'05\nNBuy\nYACME\n^\nD1/4'05\nNSell\n^\n"
                            "!Type:CCard\nD1/5'05\nU-20.00\nT-20.00\nPBook shop\n^\n"
                            "D2/30'05\nT-1.00\nPNo such day\n^\n"
                            "D1/6'05\nT-2.0x\n";   // the last entry without its ^
    const Statement s = readStatement(file, QStringLiteral("export.qif"));
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    EXPECT_EQ(s.format, Format::Qif);
    EXPECT_EQ(s.account, u"Checking");
    ASSERT_EQ(s.rows.size(), 6);
    EXPECT_EQ(s.dateOrder, DateOrder::MonthDayYear);
    EXPECT_FALSE(s.dateOrderAmbiguous());
    EXPECT_EQ(s.rows.at(0).date, QDate(2005, 1, 2));
    EXPECT_EQ(s.rows.at(0).description, u"Coffee - latte");
    EXPECT_EQ(s.rows.at(1).cents, -350);   // the second coffee is its own row
    EXPECT_EQ(s.rows.at(2).cents, 120000);
    EXPECT_EQ(s.rows.at(3).cents, -2000);
    EXPECT_EQ(s.rows.at(3).line, 29);
    EXPECT_TRUE(s.rows.at(4).problem.startsWith(u"Line 34:")) << s.rows.at(4).problem.toStdString();
    EXPECT_TRUE(s.rows.at(5).problem.contains(u"-2.0x")) << s.rows.at(5).problem.toStdString();
    ASSERT_EQ(s.notes.size(), 1);
    EXPECT_TRUE(s.notes.first().startsWith(u"Line 20: the section !Type:Invst")) << s.notes.first().toStdString();
    EXPECT_TRUE(s.notes.first().contains(u"2 entries"));
}

TEST(QifStatements, aFileWhoseDatesReadBothWaysOffersBothOrders)
{
    const QByteArray file = "!Type:Bank\nD03.04.2024\nT-1,50\nPBakery\n^\nD05.06.2024\nT-2,00\n^\n";
    Statement s = readStatement(file);
    EXPECT_TRUE(s.dateOrderAmbiguous());
    EXPECT_EQ(s.dateOrderCandidates, (QList<DateOrder>{DateOrder::DayMonthYear, DateOrder::MonthDayYear}));
    EXPECT_EQ(amounts(s), (QList<qint64>{-150, -200}));
    ReadOptions answer;
    answer.dateOrder = DateOrder::DayMonthYear;
    s = readStatement(file, {}, answer);
    EXPECT_EQ(s.rows.at(0).date, QDate(2024, 4, 3));
    EXPECT_FALSE(s.dateOrderAmbiguous());
}

const char* kCamt =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.%1\">\n"
    "<BkToCstmrStmt><GrpHdr><MsgId>1</MsgId></GrpHdr><Stmt><Id>S1</Id>\n"
    "<Acct><Id><IBAN>DE02120300000000202051</IBAN></Id><Ccy>EUR</Ccy></Acct>\n"
    "<Bal><Tp><CdOrPrtry><Cd>OPBD</Cd></CdOrPrtry></Tp><Amt Ccy=\"EUR\">100.00</Amt><CdtDbtInd>CRDT</CdtDbtInd>"
    "<Dt><Dt>2024-03-01</Dt></Dt></Bal>\n"
    "<Bal><Tp><CdOrPrtry><Cd>CLBD</Cd></CdOrPrtry></Tp><Amt Ccy=\"EUR\">45.50</Amt><CdtDbtInd>DBIT</CdtDbtInd>"
    "<Dt><Dt>2024-03-31</Dt></Dt></Bal>\n"
    "<Ntry><NtryRef>N1</NtryRef><Amt Ccy=\"EUR\">145.50</Amt><CdtDbtInd>DBIT</CdtDbtInd>%2\n"
    "<BookgDt><Dt>2024-03-04</Dt></BookgDt><ValDt><Dt>2024-03-05</Dt></ValDt><AcctSvcrRef>REF-1</AcctSvcrRef>\n"
    "<NtryDtls><TxDtls><RltdPties><Dbtr>%3Me%4</Dbtr><Cdtr>%3Stadtwerke &amp; Co%4</Cdtr></RltdPties>\n"
    "<RmtInf><Ustrd>Strom M</Ustrd><Ustrd>&#228;rz</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>\n"
    "<Ntry><Amt Ccy=\"EUR\">20.00</Amt><CdtDbtInd>CRDT</CdtDbtInd>%5\n"
    "<ValDt><DtTm>2024-03-06T10:00:00</DtTm></ValDt><AddtlNtryInf>Refund</AddtlNtryInf></Ntry>\n"
    "<Ntry><Amt Ccy=\"EUR\">9.99</Amt><CdtDbtInd>DBIT</CdtDbtInd>%6<BookgDt><Dt>2024-03-31</Dt></BookgDt></Ntry>\n"
    "</Stmt></BkToCstmrStmt></Document>\n";

QByteArray camt(const QString& version)
{
    // Status and party names are written differently from version 08 and 09 on.
    const bool v08 = version.toInt() >= 8, v09 = version.toInt() >= 9;
    const QString booked = v09 ? QStringLiteral("<Sts><Cd>BOOK</Cd></Sts>") : QStringLiteral("<Sts>BOOK</Sts>");
    const QString pending = v09 ? QStringLiteral("<Sts><Cd>PDNG</Cd></Sts>") : QStringLiteral("<Sts>PDNG</Sts>");
    return QString::fromLatin1(kCamt)
        .arg(version, booked, v08 ? QStringLiteral("<Pty><Nm>") : QStringLiteral("<Nm>"),
             v08 ? QStringLiteral("</Nm></Pty>") : QStringLiteral("</Nm>"), booked, pending)
        .toUtf8();
}

TEST(CamtStatements, entriesOfEveryVersionReadWithTheirReferencesAndTheClosingBalance)
{
    for (const char* version : {"02", "04", "08", "10"}) {
        SCOPED_TRACE(version);
        const Statement s = readStatement(camt(QString::fromLatin1(version)), QStringLiteral("camt.xml"));
        ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
        EXPECT_EQ(s.format, Format::Camt);
        EXPECT_EQ(s.account, u"DE02120300000000202051");
        EXPECT_EQ(s.currency, u"EUR");
        ASSERT_EQ(s.rows.size(), 2);
        EXPECT_EQ(amounts(s), (QList<qint64>{-14550, 2000}));
        EXPECT_EQ(s.rows.at(0).reference, u"REF-1");
        EXPECT_EQ(s.rows.at(0).date, QDate(2024, 3, 4));   // booked, not the value date
        EXPECT_EQ(s.rows.at(0).description, QString::fromUtf8("Stadtwerke & Co - Strom März"));
        EXPECT_EQ(s.rows.at(0).line, 7);
        EXPECT_EQ(s.rows.at(1).date, QDate(2024, 3, 6));   // only a value date with a time
        EXPECT_EQ(s.rows.at(1).description, u"Refund");
        EXPECT_TRUE(s.rows.at(1).reference.isEmpty());
        ASSERT_TRUE(s.closing.has_value());
        EXPECT_EQ(s.closing->cents, -4550);
        EXPECT_EQ(s.closing->date, QDate(2024, 3, 31));
        EXPECT_EQ(s.notes.size(), 1);   // the pending entry
    }
}

TEST(CamtStatements, malformedXmlNamesItsLineAndOtherXmlIsRefused)
{
    QByteArray broken = camt(QStringLiteral("02"));
    broken.replace("</AcctSvcrRef>", "</AcctSvcRef>");
    const Statement s = readStatement(broken, QStringLiteral("camt.xml"));
    EXPECT_TRUE(s.rows.isEmpty());
    EXPECT_TRUE(s.refusal.startsWith(u"Line 8,")) << s.refusal.toStdString();
    const Statement cut = readStatement(camt(QStringLiteral("02")).left(700), QStringLiteral("camt.xml"));
    EXPECT_TRUE(cut.refusal.contains(u"malformed")) << cut.refusal.toStdString();
    const Statement notCamt = readStatement("<?xml version=\"1.0\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.054.001.02\"/>");
    EXPECT_TRUE(notCamt.refusal.contains(u"camt.053")) << notCamt.refusal.toStdString();
}

TEST(StatementFiles, whatIsNotAStatementIsRefusedWithAReason)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", QByteArray(), "empty"},
        {"only blank lines", "\n\r\n  \n", "empty"},
        {"one empty quoted field", "\"\"\n", "empty"},
        {"column names and nothing else", "Date;Amount;Payee\n", "no transactions"},
        {"binary", QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0", 10), "not a statement"},
        {"a PDF", "%PDF-1.7\n1 0 obj\n", "not a statement"},
        {"a zip (a spreadsheet)", "PK\x03\x04\x14\x00", "not a statement"},
        {"other XML", "<?xml version=\"1.0\"?><html/>", "neither OFX nor"},
        {"a QIF without a section", "D1/2/05\nT-1\n^\n", "!Type:Bank"},
        {"a single column of text", "hello\nworld\n", "no columns"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Statement s = readStatement(c.bytes, QString::fromLatin1(c.name) == u"a QIF without a section"
                                                       ? QStringLiteral("x.qif") : QString());
        EXPECT_TRUE(s.rows.isEmpty());
        EXPECT_TRUE(s.refusal.contains(QString::fromLatin1(c.reason))) << s.refusal.toStdString();
    }
}

TEST(StatementFiles, aHugeFileIsRefusedBeforeItIsRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(2LL * 1024 * 1024 * 1024));   // sparse: no disk, no memory
    file.close();
    const Statement s = readStatementFile(path);
    EXPECT_TRUE(s.refusal.contains(u"2.00 GiB") && s.refusal.contains(u"64.00 MiB")) << s.refusal.toStdString();
    EXPECT_TRUE(readStatementFile(dir.path()).refusal.contains(u"folder"));
    EXPECT_TRUE(readStatementFile(dir.filePath(QStringLiteral("missing.ofx"))).refusal.contains(u"cannot be read"));
    // A pipe nobody writes to would hold the read for ever: refused without opening it.
    const QString fifo = dir.filePath(QStringLiteral("statement.csv"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(readStatementFile(fifo).refusal.contains(u"not a regular file"));
}

TEST(StatementFiles, aFileOnDiskReadsLikeItsBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("statement.ofx"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kOfxSgml);
    file.close();
    const Statement s = readStatementFile(path);
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    EXPECT_EQ(amounts(s), amounts(readStatement(kOfxSgml)));
}

} // namespace
