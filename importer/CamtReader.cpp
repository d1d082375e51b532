#include "importer/CamtReader.h"

#include "importer/Amounts.h"

#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>

namespace importer {

namespace {

// What one entry or balance gathers while its elements stream by.
struct Gathered {
    int line = 0;
    QString amount, indicator, status, bookingDate, valueDate, acctSvcrRef, ntryRef;
    QString debtor, creditor, additional;
    QString remittance;   // its lines joined, as banks split one text across them
    QString balanceType;
};

QDate isoDate(const QString& text)
{
    return QDate::fromString(text.trimmed().left(10), Qt::ISODate);
}

bool pathEndsWith(const QStringList& path, std::initializer_list<const char*> tail)
{
    if (path.size() < qsizetype(tail.size()))
        return false;
    qsizetype i = path.size() - qsizetype(tail.size());
    for (const char* name : tail)
        if (path.at(i++) != QLatin1String(name))
            return false;
    return true;
}

// An entity's name in `text` after the '&' at `at`, up to its ';' ("" for a character
// reference or anything else that is not a name).
template <class Text>
Text referenceAt(const Text& text, qsizetype at, qsizetype* length)
{
    const qsizetype semicolon = text.indexOf(';', at + 1);
    if (semicolon < 0 || semicolon == at + 1 || semicolon - at > 256 || text.at(at + 1) == '#')
        return {};
    *length = semicolon - at + 1;
    return text.mid(at + 1, semicolon - at - 1);
}

// What the file's text comes to with its entities written out, counted from their
// declarations before any is expanded: the file's own size plus, for every reference to
// a declared entity, what that entity expands to. Counting stops once past `limit`.
class ExpandedSize {
public:
    ExpandedSize(const QXmlStreamEntityDeclarations& declarations, qint64 limit) : m_limit(limit)
    {
        for (const QXmlStreamEntityDeclaration& d : declarations)
            m_values.insert(d.name().toString(), d.value().toString());
    }

    qint64 of(const QByteArray& bytes)
    {
        qint64 total = bytes.size();
        for (qsizetype at = bytes.indexOf('&'); at >= 0 && total <= m_limit; at = bytes.indexOf('&', at + 1)) {
            qsizetype length = 0;
            const QString name = QString::fromUtf8(referenceAt(bytes, at, &length));
            if (m_values.contains(name))
                total += entity(name, 0) - length;
        }
        return total;
    }

private:
    // An entity's characters, its own references written out; past the limit (or nested
    // deeper than any sane file) it counts as the limit and one more.
    qint64 entity(const QString& name, int depth)
    {
        if (const auto known = m_sizes.constFind(name); known != m_sizes.cend())
            return *known;
        const auto value = m_values.constFind(name);
        if (value == m_values.cend())
            return 1;   // &amp; and the other four XML names, or one the reader refuses itself
        if (depth > 64)
            return m_limit + 1;
        m_sizes.insert(name, m_limit + 1);   // a loop, which the reader refuses, counts as too much
        qint64 size = 0;
        for (qsizetype i = 0; i < value->size() && size <= m_limit; ++i) {
            qsizetype length = 0;
            const QString inner = value->at(i) == u'&' ? referenceAt(*value, i, &length) : QString();
            if (inner.isEmpty()) {
                ++size;
            } else {
                size += entity(inner, depth + 1);
                i += length - 1;
            }
        }
        size = std::min(size, m_limit + 1);
        m_sizes.insert(name, size);
        return size;
    }

    qint64 m_limit;
    QHash<QString, QString> m_values;
    QHash<QString, qint64> m_sizes;
};

} // namespace

Statement readCamt(const QByteArray& bytes, const ReadOptions& options)
{
    Statement s;
    s.format = Format::Camt;
    s.encoding = QStringLiteral("XML");
    QXmlStreamReader xml(bytes);
    QStringList path;
    Gathered entry, balance;
    bool inEntry = false, inBalance = false, sawStatement = false;
    qsizetype pending = 0;
    QStringList accounts;
    QString elementText;
    // An element has ended and `path` still names it: keep what its text says.
    auto leaf = [&](const QString& text) {
        if (text.isEmpty())
            return;
        if (inEntry) {
            if (pathEndsWith(path, {"Ntry", "Amt"})) entry.amount = text;
            else if (pathEndsWith(path, {"Ntry", "CdtDbtInd"})) entry.indicator = text;
            else if (pathEndsWith(path, {"Ntry", "Sts"}) || pathEndsWith(path, {"Ntry", "Sts", "Cd"})) entry.status = text;
            else if (pathEndsWith(path, {"BookgDt", "Dt"}) || pathEndsWith(path, {"BookgDt", "DtTm"})) entry.bookingDate = text;
            else if (pathEndsWith(path, {"ValDt", "Dt"}) || pathEndsWith(path, {"ValDt", "DtTm"})) entry.valueDate = text;
            else if (pathEndsWith(path, {"Ntry", "AcctSvcrRef"})) entry.acctSvcrRef = text;
            else if (pathEndsWith(path, {"Ntry", "NtryRef"})) entry.ntryRef = text;
            else if (pathEndsWith(path, {"Ntry", "AddtlNtryInf"})) entry.additional = text;
            else if (pathEndsWith(path, {"RmtInf", "Ustrd"})) {
                if (entry.remittance.size() <= kMaxTextLength) entry.remittance += text;
            }
            else if (pathEndsWith(path, {"RltdPties", "Dbtr", "Nm"}) || pathEndsWith(path, {"RltdPties", "Dbtr", "Pty", "Nm"})) {
                if (entry.debtor.isEmpty()) entry.debtor = text;
            } else if (pathEndsWith(path, {"RltdPties", "Cdtr", "Nm"}) || pathEndsWith(path, {"RltdPties", "Cdtr", "Pty", "Nm"})) {
                if (entry.creditor.isEmpty()) entry.creditor = text;
            }
        } else if (inBalance) {
            if (pathEndsWith(path, {"Bal", "Amt"})) balance.amount = text;
            else if (pathEndsWith(path, {"Bal", "CdtDbtInd"})) balance.indicator = text;
            else if (pathEndsWith(path, {"Tp", "CdOrPrtry", "Cd"})) balance.balanceType = text;
            else if (pathEndsWith(path, {"Bal", "Dt", "Dt"}) || pathEndsWith(path, {"Bal", "Dt", "DtTm"})) balance.bookingDate = text;
        } else if (pathEndsWith(path, {"Stmt", "Acct", "Id", "IBAN"}) || pathEndsWith(path, {"Stmt", "Acct", "Id", "Othr", "Id"})) {
            if (!accounts.contains(text))
                accounts.append(text);
        } else if (pathEndsWith(path, {"Stmt", "Acct", "Ccy"})) {
            s.currency = text;
        }
    };
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty()
            && ExpandedSize(xml.entityDeclarations(), kMaxStatementText).of(bytes) > kMaxStatementText) {
            s.refusal = QStringLiteral("The file declares abbreviations (XML entities) that would make its text "
                                       "larger than %1; statements larger than that are not read (a bank's "
                                       "statement declares none: is this the right file?).")
                            .arg(QLocale::c().formattedDataSize(kMaxStatementText));
            return s;
        }
        if (token == QXmlStreamReader::StartElement) {
            const QString name = xml.name().toString();
            if (path.isEmpty()) {
                const QString ns = xml.namespaceUri().toString();
                if (name != u"Document" || !ns.contains(u"camt.053.001.")) {
                    s.refusal = QStringLiteral("The file is XML but not an ISO 20022 account statement "
                                               "(camt.053).");
                    return s;
                }
            }
            path.append(name);
            if (name == u"Stmt")
                sawStatement = true;
            else if (name == u"Ntry" && path.size() >= 2 && path.at(path.size() - 2) == u"Stmt") {
                inEntry = true;
                entry = {};
                entry.line = int(xml.lineNumber());
            } else if (name == u"Bal" && !inEntry) {
                inBalance = true;
                balance = {};
            } else if (name == u"Amt" && (inEntry || inBalance) && path.size() >= 2
                       && (path.at(path.size() - 2) == u"Ntry" || path.at(path.size() - 2) == u"Bal")) {
                const QString ccy = xml.attributes().value(QStringLiteral("Ccy")).toString();
                if (!ccy.isEmpty() && s.currency.isEmpty())
                    s.currency = ccy;
            }
            elementText.clear();
        } else if (token == QXmlStreamReader::Characters) {
            // Entities and CDATA may split one element's text; past the longest text kept,
            // the rest is not gathered (the statement notes the cut).
            if (elementText.size() <= kMaxTextLength)
                elementText += xml.text().left(kMaxTextLength + 1 - elementText.size());
        } else if (token == QXmlStreamReader::EndElement) {
            leaf(elementText.trimmed());
            elementText.clear();
            const QString name = path.isEmpty() ? QString() : path.takeLast();
            if (name == u"Ntry" && inEntry && !path.isEmpty() && path.last() == u"Stmt") {
                inEntry = false;
                if (!entry.status.isEmpty() && entry.status != u"BOOK") {
                    ++pending;
                    continue;
                }
                Row row;
                row.line = entry.line;
                row.reference = entry.acctSvcrRef.isEmpty() ? entry.ntryRef : entry.acctSvcrRef;
                const bool debit = entry.indicator == u"DBIT";
                // The other party: whom money went to on a debit, whom it came from on a credit.
                const QString party = debit ? entry.creditor : entry.debtor;
                QString said = entry.remittance.simplified();
                if (said.isEmpty())
                    said = entry.additional.simplified();
                row.description = party.isEmpty() ? said
                                  : said.isEmpty() || party.contains(said, Qt::CaseInsensitive) ? party
                                  : party + QStringLiteral(" - ") + said;
                row.date = isoDate(entry.bookingDate.isEmpty() ? entry.valueDate : entry.bookingDate);
                const AmountResult a = parseAmount(entry.amount, u'.');
                QString problem;
                if (!row.date.isValid())
                    problem = entry.bookingDate.isEmpty() && entry.valueDate.isEmpty()
                                  ? QStringLiteral("no date")
                                  : QStringLiteral("\"%1\" is not a date").arg(entry.bookingDate.isEmpty() ? entry.valueDate : entry.bookingDate);
                else if (!a.cents)
                    problem = a.problem;
                else if (entry.indicator != u"DBIT" && entry.indicator != u"CRDT")
                    problem = QStringLiteral("the entry says neither DBIT nor CRDT");
                const qint64 cents = a.cents ? (debit ? -qAbs(*a.cents) : qAbs(*a.cents)) : 0;
                row.settle(problem, cents, options.invertSigns);
                s.rows.append(row);
            } else if (name == u"Bal" && inBalance) {
                inBalance = false;
                const AmountResult a = parseAmount(balance.amount, u'.');
                if (balance.balanceType == u"CLBD" && a.cents) {
                    const qint64 cents = balance.indicator == u"DBIT" ? -qAbs(*a.cents) : qAbs(*a.cents);
                    s.closing = Balance{cents, isoDate(balance.bookingDate)};
                }
            }
        }
    }
    if (xml.hasError()) {
        s.rows.clear();
        s.closing.reset();
        s.refusal = QStringLiteral("Line %1, column %2: the XML is malformed (%3), so the file is cut off or "
                                   "damaged.").arg(xml.lineNumber()).arg(xml.columnNumber()).arg(xml.errorString());
        return s;
    }
    if (!sawStatement) {
        s.refusal = QStringLiteral("The file holds no statement (Stmt).");
        return s;
    }
    if (accounts.size() > 1) {
        s.rows.clear();
        s.closing.reset();
        s.refusal = QStringLiteral("The file holds statements of %1 accounts (%2); import one account at a time.")
                        .arg(accounts.size()).arg(accounts.join(QStringLiteral(", ")));
        return s;
    }
    s.account = accounts.value(0);
    if (pending > 0)
        s.notes.append(QStringLiteral("%1 pending entries were left out; they come again, booked, in a later "
                                      "statement.").arg(pending));
    return s;
}

} // namespace importer
