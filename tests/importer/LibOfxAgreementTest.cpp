// The OFX reader against LibOFX, the library the field reads OFX with: on the same files
// both must find the same transactions, FITIDs, days, amounts and closing balance. LibOFX
// is too slow to read large statements with (its time grows with the square of the
// transactions), so it serves here as the second opinion.
#include "importer/OfxReader.h"

#include <QTemporaryDir>
#include <QFile>
#include <QDateTime>

#include <libofx/libofx.h>

#include <cmath>

#include <gtest/gtest.h>

// LibOFX keeps some of its parser's tables for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libofx.so\nleak:libosp.so\n";
}

using namespace importer;

namespace {

struct LibOfxRow {
    QString fitid;
    qint64 cents = 0;
    QDate date;
    QString name;
};

struct LibOfxResult {
    QList<LibOfxRow> rows;
    std::optional<qint64> closing;
    int status = -1;
};

int onTransaction(const OfxTransactionData data, void* out)
{
    LibOfxRow row;
    if (data.fi_id_valid)
        row.fitid = QString::fromLatin1(data.fi_id);
    if (data.amount_valid)
        row.cents = std::llround(data.amount * 100);
    // LibOFX turns a day without a time into a moment near noon UTC.
    if (data.date_posted_valid)
        row.date = QDateTime::fromSecsSinceEpoch(data.date_posted, Qt::UTC).date();
    if (data.name_valid)
        row.name = QString::fromUtf8(data.name);
    static_cast<LibOfxResult*>(out)->rows.append(row);
    return 0;
}

int onStatement(const OfxStatementData data, void* out)
{
    if (data.ledger_balance_valid)
        static_cast<LibOfxResult*>(out)->closing = std::llround(data.ledger_balance * 100);
    return 0;
}

LibOfxResult readWithLibOfx(const QByteArray& bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("statement.ofx"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    ofx_PARSER_msg = ofx_DEBUG_msg = ofx_DEBUG1_msg = ofx_DEBUG2_msg = ofx_DEBUG3_msg = ofx_DEBUG4_msg =
        ofx_DEBUG5_msg = ofx_STATUS_msg = ofx_INFO_msg = ofx_WARNING_msg = ofx_ERROR_msg = 0;
    LibOfxResult result;
    LibofxContextPtr context = libofx_get_new_context();
    ofx_set_transaction_cb(context, onTransaction, &result);
    ofx_set_statement_cb(context, onStatement, &result);
    result.status = libofx_proc_file(context, QFile::encodeName(path).constData(), OFX);
    libofx_free_context(context);
    return result;
}

QByteArray generatedStatement(int count, bool xml)
{
    QByteArray out = xml ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?OFX OFXHEADER=\"200\" VERSION=\"211\" "
                           "SECURITY=\"NONE\" OLDFILEUID=\"NONE\" NEWFILEUID=\"NONE\"?>\n"
                         : "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\nSECURITY:NONE\nENCODING:USASCII\n"
                           "CHARSET:1252\nCOMPRESSION:NONE\nOLDFILEUID:NONE\nNEWFILEUID:NONE\n\n";
    const auto element = [&](const char* tag, const QByteArray& value) {
        out += '<' + QByteArray(tag) + '>' + value;
        if (xml)
            out += "</" + QByteArray(tag) + '>';
        out += '\n';
    };
    out += "<OFX><BANKMSGSRSV1><STMTTRNRS><TRNUID>1</TRNUID><STMTRS>";
    element("CURDEF", "EUR");
    out += "<BANKACCTFROM>";
    element("BANKID", "123");
    element("ACCTID", "987654");
    element("ACCTTYPE", "CHECKING");
    out += "</BANKACCTFROM><BANKTRANLIST>\n";
    for (int i = 0; i < count; ++i) {
        out += "<STMTTRN>";
        element("TRNTYPE", i % 4 ? "DEBIT" : "CREDIT");
        element("DTPOSTED", QByteArray::number(20230101 + (i % 28) + 100 * (i % 12)) + (i % 3 ? "" : "083000.000[+1:CET]"));
        element("TRNAMT", (i % 4 ? "-" : "") + QByteArray::number(i * 37 % 100000) + '.' + QByteArray::number(10 + i % 90));
        element("FITID", "T" + QByteArray::number(i % 50 == 7 ? 7 : i));   // a bank that reuses some
        element("NAME", "Shop " + QByteArray::number(i % 13) + (i % 5 ? "" : " &amp; Sons"));
        out += "</STMTTRN>\n";
    }
    out += "</BANKTRANLIST><LEDGERBAL>";
    element("BALAMT", "-1234.05");
    element("DTASOF", "20231231");
    out += "</LEDGERBAL></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n";
    return out;
}

TEST(LibOfxAgreement, bothReadTheSameTransactionsFromSgmlAndXml)
{
    for (const bool xml : {false, true}) {
        SCOPED_TRACE(xml ? "OFX 2 (XML)" : "OFX 1 (SGML)");
        const QByteArray file = generatedStatement(300, xml);
        const Statement ours = readOfx(file);
        const LibOfxResult theirs = readWithLibOfx(file);
        ASSERT_TRUE(ours.refusal.isEmpty()) << ours.refusal.toStdString();
        ASSERT_EQ(ours.rows.size(), theirs.rows.size());
        for (qsizetype i = 0; i < ours.rows.size(); ++i) {
            SCOPED_TRACE(i);
            const Row& a = ours.rows.at(i);
            const LibOfxRow& b = theirs.rows.at(i);
            EXPECT_TRUE(a.readable()) << a.problem.toStdString();
            EXPECT_EQ(a.reference, b.fitid);
            EXPECT_EQ(a.cents, b.cents);
            EXPECT_EQ(a.date, b.date);
            EXPECT_EQ(a.description, b.name);
        }
        ASSERT_TRUE(ours.closing && theirs.closing);
        EXPECT_EQ(ours.closing->cents, *theirs.closing);
    }
}

} // namespace
