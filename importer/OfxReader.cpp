#include "importer/OfxReader.h"

#include "importer/Amounts.h"
#include "importer/TextDecoding.h"

#include <cstring>

namespace importer {

namespace {

// "20240131", "20240131120000[-5:EST]": the first eight digits are the day.
QDate ofxDate(const QByteArray& text)
{
    if (text.size() < 8)
        return {};
    for (int i = 0; i < 8; ++i)
        if (text.at(i) < '0' || text.at(i) > '9')
            return {};
    return QDate(text.left(4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
}

// An element's text: entities resolved, in the file's character set.
QString ofxText(const QByteArray& raw, bool utf8)
{
    QString text = utf8 ? QString::fromUtf8(raw) : decodeText(raw, QStringLiteral("windows-1252")).text;
    if (text.contains(u'&')) {
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
        text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
        text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
        text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
        text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    }
    return text.simplified();
}

// A CDATA section's text as element text writes it (escaped), so that ofxText reads
// it back as it stands: "<![CDATA[Joe's & Co]]>" is "Joe's &amp; Co".
QByteArray escapedCdata(const char* from, const char* to)
{
    QByteArray text(from, to - from);
    text.replace('&', "&amp;");
    text.replace('<', "&lt;");
    text.replace('>', "&gt;");
    return text;
}

constexpr QByteArrayView kCdataOpen("<![CDATA[");

// An element's value from `p`: its text up to the next tag (SGML) or its end tag (XML),
// CDATA sections (OFX 2.x) taken as their text. `valueEnd` is where the value stops.
QByteArray elementValue(const char* p, const char* end, const char** valueEnd)
{
    QByteArray value;
    for (;;) {
        const char* next = static_cast<const char*>(memchr(p, '<', size_t(end - p)));
        if (!next)
            next = end;
        value += QByteArrayView(p, next - p);
        if (!QByteArrayView(next, end - next).startsWith(kCdataOpen)) {
            *valueEnd = next;
            return value.trimmed();
        }
        const char* inner = next + kCdataOpen.size();
        const qsizetype close = QByteArrayView(inner, end - inner).indexOf(QByteArrayView("]]>"));
        const char* innerEnd = close < 0 ? end : inner + close;
        value += escapedCdata(inner, innerEnd);
        p = close < 0 ? end : innerEnd + 3;
    }
}

struct Transaction {
    int line = 0;
    QByteArray amount, date, fitid, name, memo;
};

} // namespace

Statement readOfx(const QByteArray& bytes, const ReadOptions& options)
{
    Statement s;
    s.format = Format::Ofx;
    // The character set: OFX 1.x says it in its header, OFX 2.x is XML and UTF-8 unless
    // its declaration says otherwise.
    const QByteArray head = bytes.left(1024).toUpper();
    const bool utf8 = head.contains("ENCODING:UTF-8") || (head.contains("<?XML") && !head.contains("ENCODING=\"ISO-8859") && !head.contains("ENCODING=\"WINDOWS-1252"))
                      || (!head.contains("CHARSET:1252") && !head.contains("CHARSET:ISO") && isUtf8(bytes));
    s.encoding = utf8 ? QStringLiteral("UTF-8") : QStringLiteral("windows-1252");

    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    int line = 1;
    bool inTransaction = false, inLedgerBalance = false, closed = false, sawOfx = false, investment = false;
    bool statusError = false;
    QByteArray statusMessage, balanceAmount, balanceDate;
    QStringList accounts;
    Transaction t;
    QList<Transaction> transactions;
    QByteArray tag;
    while (p < end) {
        if (*p == '\n') {
            ++line;
            ++p;
            continue;
        }
        if (*p != '<') {
            ++p;
            continue;
        }
        const char* close = static_cast<const char*>(memchr(p, '>', size_t(end - p)));
        if (QByteArrayView(p, end - p).startsWith(kCdataOpen)) {
            // Text outside any value: a '>' inside it ends no tag.
            const qsizetype at = QByteArrayView(p, end - p).indexOf(QByteArrayView("]]>"));
            close = at < 0 ? nullptr : p + at + 2;
        }
        if (!close)
            break;
        tag = QByteArray(p + 1, close - p - 1).trimmed().toUpper();
        for (const char* q = p; q < close; ++q)
            line += *q == '\n';
        p = close + 1;
        if (tag.isEmpty() || tag.startsWith('?') || tag.startsWith('!'))
            continue;
        if (tag.startsWith('/')) {
            const QByteArray name = tag.mid(1);
            if ((name == "STMTTRN" || name == "BANKTRANLIST") && inTransaction) {
                transactions.append(t);   // SGML may leave out the last </STMTTRN>
                inTransaction = false;
            } else if (name == "LEDGERBAL") {
                inLedgerBalance = false;
            } else if (name == "OFX") {
                closed = true;
            }
            continue;
        }
        const char* valueEnd = end;
        const QByteArray value = elementValue(p, end, &valueEnd);
        if (tag == "OFX") {
            sawOfx = true;
        } else if (tag == "STMTTRN") {
            if (inTransaction)
                transactions.append(t);   // SGML that left out the end tag
            inTransaction = true;
            t = {};
            t.line = line;
        } else if (tag == "INVSTMTRS") {
            investment = true;
        } else if (tag == "LEDGERBAL") {
            inLedgerBalance = true;
        } else if (inTransaction) {
            if (tag == "TRNAMT") t.amount = value;
            else if (tag == "DTPOSTED") t.date = value;
            else if (tag == "FITID") t.fitid = value;
            else if (tag == "NAME") t.name = value;
            else if (tag == "MEMO") t.memo = value;
        } else if (inLedgerBalance) {
            if (tag == "BALAMT") balanceAmount = value;
            else if (tag == "DTASOF") balanceDate = value;
        } else if (tag == "ACCTID") {
            const QString id = ofxText(value, utf8);
            if (!id.isEmpty() && !accounts.contains(id))
                accounts.append(id);
        } else if (tag == "CURDEF") {
            s.currency = ofxText(value, utf8);
        } else if (tag == "SEVERITY" && value.toUpper() == "ERROR") {
            statusError = true;
        } else if (tag == "MESSAGE" && statusMessage.isEmpty()) {
            statusMessage = value;
        }
        for (; p < valueEnd; ++p)
            line += *p == '\n';
    }

    if (!sawOfx) {
        s.refusal = QStringLiteral("The file has no <OFX> element, so it is not an OFX statement.");
        return s;
    }
    if (!closed) {
        s.refusal = QStringLiteral("Line %1: the file ends there before the statement does (no </OFX>): it was "
                                   "cut off, probably while downloading. Download it again.").arg(line);
        return s;
    }
    if (statusError) {
        s.refusal = QStringLiteral("The bank's file reports an error instead of a statement: %1")
                        .arg(statusMessage.isEmpty() ? QStringLiteral("(no message)") : ofxText(statusMessage, utf8));
        return s;
    }
    if (investment) {
        s.refusal = QStringLiteral("The file is an investment account's statement; only bank and card "
                                   "statements are imported.");
        return s;
    }
    if (accounts.size() > 1) {
        s.refusal = QStringLiteral("The file holds statements of %1 accounts (%2); import one account at a time.")
                        .arg(accounts.size()).arg(accounts.join(QStringLiteral(", ")));
        return s;
    }
    s.account = accounts.value(0);
    if (!balanceAmount.isEmpty()) {
        if (const AmountResult a = parseAmount(QString::fromLatin1(balanceAmount), u'.'); a.cents)
            s.closing = Balance{*a.cents, ofxDate(balanceDate)};
    }
    s.rows.reserve(transactions.size());
    for (const Transaction& tr : std::as_const(transactions)) {
        Row row;
        row.line = tr.line;
        row.reference = ofxText(tr.fitid, utf8);
        const QString name = ofxText(tr.name, utf8);
        const QString memo = ofxText(tr.memo, utf8);
        row.description = memo.isEmpty() || name.contains(memo, Qt::CaseInsensitive) ? name
                          : name.isEmpty() || memo.contains(name, Qt::CaseInsensitive) ? memo
                          : name + QStringLiteral(" - ") + memo;
        row.date = ofxDate(tr.date);
        QString problem;
        // Some banks write the amount with a decimal comma; OFX has no thousands separator.
        const AmountResult a = parseAmount(QString::fromLatin1(tr.amount), tr.amount.contains(',') ? u',' : u'.');
        if (!row.date.isValid())
            problem = tr.date.isEmpty() ? QStringLiteral("no date (DTPOSTED)")
                                        : QStringLiteral("\"%1\" is not a date").arg(QString::fromLatin1(tr.date));
        else if (!a.cents)
            problem = tr.amount.isEmpty() ? QStringLiteral("no amount (TRNAMT)") : a.problem;
        row.settle(problem, a.cents.value_or(0), options.invertSigns);
        s.rows.append(row);
    }
    return s;
}

} // namespace importer
