#include "importer/CsvSplitter.h"

#include <QHash>

#include <array>

namespace importer {

namespace {

constexpr std::array<char16_t, 4> kDelimiters = {u',', u';', u'\t', u'|'};
constexpr qsizetype kSampleRecords = 60;   // enough to see past a preamble

} // namespace

CsvSplit splitCsv(const QString& text, QChar delimiter, qsizetype maxRecords)
{
    CsvSplit out;
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    int line = 1;
    while (p < end && (maxRecords < 0 || out.records.size() < maxRecords)) {
        CsvRecord record;
        record.line = line;
        QString current;
        bool recordEnded = false;
        while (!recordEnded) {
            current.clear();
            // A quote opens a quoted field only as the field's first character.
            if (p < end && *p == u'"') {
                const int opened = line;
                ++p;
                bool closed = false;
                while (p < end) {
                    if (*p == u'"') {
                        if (p + 1 < end && p[1] == u'"') {
                            current.append(u'"');
                            p += 2;
                            continue;
                        }
                        ++p;
                        closed = true;
                        break;
                    }
                    if (*p == u'\n')
                        ++line;
                    current.append(*p++);
                }
                if (!closed) {
                    out.unclosedQuoteLine = opened;
                    return out;
                }
            }
            // The rest of the field, unquoted (or text after a closing quote, kept as written).
            const QChar* start = p;
            while (p < end && *p != delimiter && *p != u'\n' && *p != u'\r')
                ++p;
            if (current.isEmpty())
                record.fields.append(QString(start, p - start));   // the common case: one copy
            else
                record.fields.append(current.append(QStringView(start, p)));
            if (p < end && *p == delimiter) {
                ++p;
                continue;
            }
            if (p < end && *p == u'\r')
                ++p;
            if (p < end && *p == u'\n')
                ++p;
            ++line;
            recordEnded = true;
        }
        const bool blank = record.fields.size() == 1 && record.fields.first().trimmed().isEmpty();
        if (!blank)
            out.records.append(std::move(record));
    }
    return out;
}

QChar findDelimiter(const QString& text)
{
    QChar best = u',';
    qsizetype bestScore = 0;
    int bestWidth = 0;
    for (const char16_t d : kDelimiters) {
        const CsvSplit split = splitCsv(text.left(64 * 1024), d, kSampleRecords);
        QHash<int, qsizetype> widths;
        for (const CsvRecord& r : split.records)
            if (r.fields.size() > 1)
                ++widths[int(r.fields.size())];
        for (auto it = widths.cbegin(); it != widths.cend(); ++it) {
            if (it.value() > bestScore || (it.value() == bestScore && it.key() > bestWidth)) {
                best = d;
                bestScore = it.value();
                bestWidth = it.key();
            }
        }
    }
    return best;
}

} // namespace importer
