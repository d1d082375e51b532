#pragma once
// The same statement rows written as each format a bank sends: CSV, QIF, OFX (SGML) and
// CAMT.053, for tests that hold every reader to one rule.

#include <QByteArray>
#include <QList>
#include <QString>

namespace testing_support {

struct StatementRow {
    const char* date;     // yyyy-mm-dd
    const char* amount;   // signed, '.' for the decimal point
    QString description;
};

inline QByteArray csvOf(const QList<StatementRow>& rows)
{
    QByteArray out = "Date,Description,Amount\n";
    for (const StatementRow& r : rows)
        out += QByteArray(r.date) + ',' + r.description.toUtf8() + ',' + r.amount + '\n';
    return out;
}

inline QByteArray qifOf(const QList<StatementRow>& rows)
{
    QByteArray out = "!Type:Bank\n";
    for (const StatementRow& r : rows) {
        const QByteArray d(r.date);
        out += "D" + d.mid(5, 2) + '/' + d.mid(8, 2) + '/' + d.left(4) + "\nT" + r.amount + "\nP"
            + r.description.toUtf8() + "\n^\n";
    }
    return out;
}

inline QByteArray ofxOf(const QList<StatementRow>& rows)
{
    QByteArray out = "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nENCODING:UTF-8\r\n\r\n<OFX><BANKMSGSRSV1><STMTTRNRS>"
                     "<STMTRS><CURDEF>EUR<BANKACCTFROM><ACCTID>1</BANKACCTFROM><BANKTRANLIST>\r\n";
    int id = 0;
    for (const StatementRow& r : rows)
        out += "<STMTTRN><DTPOSTED>" + QByteArray(r.date).replace("-", "") + "<TRNAMT>" + r.amount + "<FITID>F"
            + QByteArray::number(++id) + "<NAME>" + r.description.toUtf8() + "</STMTTRN>\r\n";
    return out + "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\r\n";
}

inline QByteArray camtOf(const QList<StatementRow>& rows, const QByteArray& doctype = {})
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + doctype
        + "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.02\"><BkToCstmrStmt><Stmt>\n"
          "<Acct><Id><IBAN>DE02120300000000202051</IBAN></Id></Acct>\n";
    int id = 0;
    for (const StatementRow& r : rows) {
        const QByteArray amount(r.amount);
        out += "<Ntry><Amt Ccy=\"EUR\">" + (amount.startsWith('-') ? amount.mid(1) : amount) + "</Amt><CdtDbtInd>"
            + (amount.startsWith('-') ? "DBIT" : "CRDT") + "</CdtDbtInd><BookgDt><Dt>" + r.date
            + "</Dt></BookgDt><AcctSvcrRef>R" + QByteArray::number(++id) + "</AcctSvcrRef><NtryDtls><TxDtls>"
              "<RmtInf><Ustrd>" + r.description.toUtf8() + "</Ustrd></RmtInf></TxDtls></NtryDtls></Ntry>\n";
    }
    return out + "</Stmt></BkToCstmrStmt></Document>\n";
}

struct Writer {
    const char* name;
    QByteArray (*write)(const QList<StatementRow>&);
};

inline const Writer kFormats[] = {
    {"a.csv", csvOf}, {"a.qif", qifOf}, {"a.ofx", ofxOf}, {"a.xml", [](const QList<StatementRow>& r) { return camtOf(r); }}};

} // namespace testing_support
