#include "importer/QifReader.h"

#include "importer/Amounts.h"
#include "importer/Dates.h"
#include "importer/TextDecoding.h"

namespace importer {

namespace {

struct Entry {
    int line = 0;
    QString date, amount, payee, memo;
};

QString joinDescription(const QString& payee, const QString& memo)
{
    const QString p = payee.simplified(), m = memo.simplified();
    if (p.isEmpty() || p.contains(m, Qt::CaseInsensitive))
        return p.isEmpty() ? m : p;
    if (m.isEmpty() || m.contains(p, Qt::CaseInsensitive))
        return m.isEmpty() ? p : m;
    return p + QStringLiteral(" - ") + m;
}

} // namespace

Statement readQif(const QByteArray& bytes, const ReadOptions& options)
{
    Statement s;
    s.format = Format::Qif;
    const DecodedText decoded = decodeText(bytes);
    s.encoding = decoded.encoding;
    if (const QString note = decoded.replacementNote(); !note.isEmpty())
        s.notes.append(note);
    const QStringList lines = decoded.text.split(u'\n');
    QList<Entry> entries;
    Entry current;
    bool inRegister = false, inAccount = false, sawSection = false, open = false;
    int skippedLine = 0;
    QString skippedSection;
    qsizetype skippedEntries = 0;
    auto noteSkipped = [&] {
        if (skippedLine)
            s.notes.append(QStringLiteral("Line %1: the section %2 is not a bank or card register; its %3 "
                                          "entries were left out.").arg(skippedLine).arg(skippedSection).arg(skippedEntries));
        skippedLine = 0;
        skippedEntries = 0;
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i) + 1;
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(u'!')) {
            const QString header = line.trimmed();
            if (header.startsWith(u"!Option", Qt::CaseInsensitive) || header.startsWith(u"!Clear", Qt::CaseInsensitive))
                continue;
            noteSkipped();
            sawSection = true;
            open = false;
            current = {};
            inAccount = header.compare(u"!Account", Qt::CaseInsensitive) == 0;
            const QString type = header.section(u':', 1).trimmed().toLower();
            inRegister = header.startsWith(u"!Type:", Qt::CaseInsensitive) && (type == u"bank" || type == u"ccard");
            if (!inRegister && !inAccount) {
                skippedLine = lineNo;
                skippedSection = header;
            }
            continue;
        }
        if (!sawSection) {
            s.refusal = QStringLiteral("Line %1: a QIF file begins with a section such as !Type:Bank, and this "
                                       "one does not.").arg(lineNo);
            return s;
        }
        const QChar code = line.at(0);
        const QString value = line.mid(1);
        if (inAccount) {
            if (code == u'N' && s.account.isEmpty())
                s.account = value.trimmed();
            continue;
        }
        if (code == u'^') {
            if (inRegister && open)
                entries.append(current);
            else if (!inRegister)
                ++skippedEntries;
            current = {};
            open = false;
            continue;
        }
        if (!inRegister)
            continue;
        if (!open) {
            current.line = lineNo;
            open = true;
        }
        switch (code.unicode()) {
        case 'D': current.date = value; break;
        case 'T': current.amount = value; break;
        case 'U': if (current.amount.isEmpty()) current.amount = value; break;
        case 'P': current.payee = value; break;
        case 'M': current.memo = value; break;
        default: break;   // number, category, cleared, address, splits
        }
    }
    if (open && inRegister)
        entries.append(current);   // the last entry without its closing ^
    noteSkipped();
    if (!sawSection) {
        s.refusal = QStringLiteral("The file is empty.");
        return s;
    }

    QList<QString> dates;
    QStringList amounts;
    for (const Entry& e : std::as_const(entries)) {
        dates.append(e.date);
        amounts.append(e.amount);
    }
    const DateOrderChoice choice = chooseDateOrder(dates);
    s.dateOrderCandidates = choice.fitting;
    s.dateOrder = options.dateOrder.value_or(choice.chosen);
    if (options.dateOrder)
        s.dateOrderCandidates = {s.dateOrder};
    const QChar decimal = decimalSeparatorOf(amounts);
    s.rows.reserve(entries.size());
    for (const Entry& e : std::as_const(entries)) {
        Row row;
        row.line = e.line;
        row.description = joinDescription(e.payee, e.memo);
        row.date = dateIn(splitDate(e.date), s.dateOrder);
        QString problem;
        if (!row.date.isValid())
            problem = dateProblem(e.date, s.dateOrder);
        const AmountResult a = parseAmount(e.amount, decimal);
        if (!a.cents && problem.isEmpty())
            problem = a.problem;
        row.settle(problem, a.cents.value_or(0), options.invertSigns);
        s.rows.append(row);
    }
    return s;
}

} // namespace importer
