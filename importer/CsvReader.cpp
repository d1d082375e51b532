#include "importer/CsvReader.h"

#include "importer/Amounts.h"
#include "importer/CsvSplitter.h"
#include "importer/Dates.h"
#include "importer/TextDecoding.h"

#include <QHash>

#include <algorithm>

namespace importer {

namespace {

constexpr qsizetype kSampleRecords = 60;

int knownNames(const QStringList& fields)
{
    const CsvProfile p = mappingFromHeader(fields);
    return (p.dateColumn >= 0) + (p.amountColumn >= 0) + (p.withdrawalColumn >= 0) + (p.depositColumn >= 0)
           + int(p.descriptionColumns.size());
}

// The index of the header among the first records: the first of the most common width
// that names a date or an amount column, else the first of that width.
qsizetype findHeader(const QList<CsvRecord>& records)
{
    QHash<qsizetype, qsizetype> widths;
    const qsizetype sample = std::min(records.size(), kSampleRecords);
    for (qsizetype i = 0; i < sample; ++i)
        ++widths[records.at(i).fields.size()];
    qsizetype width = 0, count = 0;
    for (auto it = widths.cbegin(); it != widths.cend(); ++it)
        if (it.value() > count || (it.value() == count && it.key() > width))
            width = it.key(), count = it.value();
    qsizetype first = -1;
    for (qsizetype i = 0; i < sample; ++i) {
        if (records.at(i).fields.size() < width)
            continue;
        if (first < 0)
            first = i;
        if (knownNames(records.at(i).fields) >= 2)
            return i;
    }
    return std::max<qsizetype>(first, 0);
}

// Columns that are not named as an indicator but hold nothing else (a "Type" column of
// D and C beside the amount).
int indicatorColumnByValues(const QList<CsvRecord>& rows, qsizetype width, const CsvProfile& p)
{
    for (int c = 0; c < width; ++c) {
        if (c == p.amountColumn || c == p.dateColumn || p.descriptionColumns.contains(c))
            continue;
        bool all = true, any = false;
        for (const CsvRecord& r : rows) {
            if (r.fields.size() != width)
                continue;
            const QString& v = r.fields.at(c);
            if (v.trimmed().isEmpty())
                continue;
            any = true;
            if (indicatorSign(v) == 0 || v.trimmed().size() > 6) {
                all = false;
                break;
            }
        }
        if (all && any)
            return c;
    }
    return -1;
}

QString joinDescription(const QStringList& parts)
{
    QStringList kept;
    for (const QString& part : parts) {
        const QString p = part.simplified();
        if (p.isEmpty())
            continue;
        if (std::any_of(kept.cbegin(), kept.cend(), [&](const QString& k) { return k.contains(p, Qt::CaseInsensitive); }))
            continue;
        kept.append(p);
    }
    return kept.join(QStringLiteral(" - "));
}

const QString& field(const CsvRecord& r, int column)
{
    static const QString kNone;
    return column >= 0 && column < r.fields.size() ? r.fields.at(column) : kNone;
}

bool validColumn(int column, qsizetype width)
{
    return column < width;
}

// The row's signed amount under the profile's amount model.
AmountResult amountOf(const CsvRecord& r, const CsvProfile& p)
{
    switch (p.amountModel()) {
    case AmountModel::Signed:
        return parseAmount(field(r, p.amountColumn), p.decimal);
    case AmountModel::Indicator: {
        AmountResult a = parseAmount(field(r, p.amountColumn), p.decimal);
        if (!a.cents)
            return a;
        const QString indicator = field(r, p.indicatorColumn);
        const int sign = indicatorSign(indicator);
        if (sign == 0)
            return {std::nullopt, QStringLiteral("\"%1\" says neither debit nor credit").arg(indicator.trimmed())};
        return {sign < 0 ? -qAbs(*a.cents) : qAbs(*a.cents), {}};
    }
    case AmountModel::WithdrawalDeposit: {
        // Banks write the withdrawal as a positive number or a negative one; it is money out either way.
        const QString out = field(r, p.withdrawalColumn).trimmed(), in = field(r, p.depositColumn).trimmed();
        if (out.isEmpty() && in.isEmpty())
            return {std::nullopt, QStringLiteral("no amount")};
        const AmountResult w = out.isEmpty() ? AmountResult{0, {}} : parseAmount(out, p.decimal);
        if (!w.cents)
            return w;
        const AmountResult d = in.isEmpty() ? AmountResult{0, {}} : parseAmount(in, p.decimal);
        if (!d.cents)
            return d;
        return {qAbs(*d.cents) - qAbs(*w.cents), {}};
    }
    case AmountModel::None:
        break;
    }
    return {std::nullopt, QStringLiteral("no amount column")};
}

// A row fits the header when it has as many fields, or more that are all empty (a
// trailing delimiter the header line lacks).
bool fitsWidth(const CsvRecord& r, qsizetype width)
{
    return r.fields.size() == width
           || (r.fields.size() > width
               && std::all_of(r.fields.cbegin() + width, r.fields.cend(), [](const QString& f) { return f.trimmed().isEmpty(); }));
}

} // namespace

Statement readCsv(const QByteArray& bytes, const ReadOptions& options)
{
    Statement s;
    s.format = Format::Csv;
    CsvProfile given = options.csvProfile.value_or(CsvProfile{});
    const DecodedText decoded = decodeText(bytes, given.encoding);
    s.encoding = decoded.encoding;
    if (const QString note = decoded.replacementNote(); !note.isEmpty())
        s.notes.append(note);
    if (decoded.text.trimmed().isEmpty()) {
        s.refusal = QStringLiteral("The file is empty.");
        return s;
    }
    const QChar delimiter = given.delimiter.isNull() ? findDelimiter(decoded.text) : given.delimiter;
    CsvSplit split = splitCsv(decoded.text, delimiter);
    if (split.unclosedQuoteLine) {
        s.refusal = QStringLiteral("Line %1: a quoted field begins there and is never closed, so the file "
                                   "is cut off or is not a CSV file.").arg(split.unclosedQuoteLine);
        return s;
    }
    const QList<CsvRecord>& records = split.records;
    if (records.isEmpty()) {
        s.refusal = QStringLiteral("The file is empty.");
        return s;
    }
    qsizetype headerIndex = -1;
    if (given.headerLine > 0) {
        for (qsizetype i = 0; i < records.size() && headerIndex < 0; ++i)
            if (records.at(i).line >= given.headerLine)
                headerIndex = i;
        if (headerIndex < 0) {
            s.refusal = QStringLiteral("The file has no line %1 to take the column names from.").arg(given.headerLine);
            return s;
        }
    } else {
        headerIndex = findHeader(records);
    }
    const CsvRecord& header = records.at(headerIndex);
    const qsizetype width = header.fields.size();
    if (width < 2) {
        s.refusal = QStringLiteral("Line %1: no columns were found (the lines have no comma, semicolon, tab "
                                   "or bar between their fields).").arg(header.line);
        return s;
    }
    if (headerIndex > 0)
        s.notes.append(QStringLiteral("Lines 1 to %1, before the column names, are not transactions and were "
                                      "left out.").arg(header.line - 1));
    s.csvHeader = header.fields;
    s.csvFingerprint = headerFingerprint(header.fields);

    // The mapping: the caller's when it has one, else what the names say.
    CsvProfile p = options.csvProfile ? given : mappingFromHeader(header.fields);
    p.delimiter = delimiter;
    p.encoding = decoded.encoding;
    p.headerLine = header.line;
    p.invertSigns = p.invertSigns || options.invertSigns;
    const QList<CsvRecord> body = records.mid(headerIndex + 1);
    if (!options.csvProfile && p.amountColumn >= 0 && p.indicatorColumn < 0)
        p.indicatorColumn = indicatorColumnByValues(body, width, p);
    for (const int c : {p.dateColumn, p.amountColumn, p.withdrawalColumn, p.depositColumn, p.indicatorColumn,
                        p.currencyColumn}) {
        if (!validColumn(c, width)) {
            s.refusal = QStringLiteral("The column mapping names column %1, and the file has %2 columns.")
                            .arg(c + 1).arg(width);
            return s;
        }
    }
    p.descriptionColumns.removeIf([&](int c) { return !validColumn(c, width); });
    s.csvProfile = p;
    if (!p.complete()) {
        s.csvNeedsMapping = true;
        QStringList missing;
        if (p.dateColumn < 0)
            missing.append(QStringLiteral("the date"));
        if (p.amountModel() == AmountModel::None)
            missing.append(QStringLiteral("the amount"));
        s.refusal = QStringLiteral("Which column holds %1 is not known from the column names; choose the "
                                   "columns.").arg(missing.join(QStringLiteral(" and ")));
        return s;
    }

    // Rows of another width: unreadable, or the whole file when most rows are.
    QList<const CsvRecord*> good;
    good.reserve(body.size());
    int firstOdd = 0;
    qsizetype odd = 0;
    for (const CsvRecord& r : body) {
        if (fitsWidth(r, width)) {
            good.append(&r);
        } else {
            ++odd;
            if (!firstOdd)
                firstOdd = r.line;
        }
    }
    if (odd * 2 > body.size()) {
        s.refusal = QStringLiteral("Line %1: the columns change there (the column names on line %2 have %3 "
                                   "fields, most lines after them do not), so the file cannot be read as "
                                   "one table.").arg(firstOdd).arg(header.line).arg(width);
        return s;
    }

    if (body.isEmpty()) {
        s.refusal = QStringLiteral("Line %1 holds the column names, and no transactions follow them.").arg(header.line);
        return s;
    }

    // The date order and the decimal separator, from every row at once.
    QList<QString> dates;
    QStringList amounts;
    dates.reserve(good.size());
    for (const CsvRecord* r : good) {
        dates.append(field(*r, p.dateColumn));
        for (const int c : {p.amountColumn, p.withdrawalColumn, p.depositColumn})
            if (c >= 0)
                amounts.append(field(*r, c));
    }
    const DateOrderChoice choice = chooseDateOrder(dates);
    // The user's answer wins; a stored profile's order settles a file that reads both ways,
    // but not one whose dates say otherwise. The profile handed back keeps an order only
    // once it is settled, so an unanswered question is never stored as an answer.
    const bool storedFits = p.dateOrder && choice.fitting.contains(*p.dateOrder);
    s.dateOrder = options.dateOrder ? *options.dateOrder : storedFits ? *p.dateOrder : choice.chosen;
    s.dateOrderCandidates = options.dateOrder || storedFits ? QList<DateOrder>{s.dateOrder} : choice.fitting;
    p.dateOrder = s.dateOrderAmbiguous() ? std::nullopt : std::optional<DateOrder>(s.dateOrder);
    if (p.decimal.isNull())
        p.decimal = decimalSeparatorOf(amounts, delimiter == u';' ? u',' : u'.');
    s.csvProfile = p;

    QStringList currencies;
    s.rows.reserve(body.size());
    for (const CsvRecord& r : body) {
        Row row;
        row.line = r.line;
        if (!fitsWidth(r, width)) {
            row.problem = QStringLiteral("Line %1: %2 fields where the column names have %3.")
                              .arg(r.line).arg(r.fields.size()).arg(width);
            s.rows.append(row);
            continue;
        }
        QStringList parts;
        for (const int c : p.descriptionColumns)
            parts.append(field(r, c));
        row.description = joinDescription(parts);
        const QString dateText = field(r, p.dateColumn);
        row.date = dateIn(splitDate(dateText), s.dateOrder);
        QString problem;
        if (!row.date.isValid())
            problem = dateProblem(dateText, s.dateOrder);
        const AmountResult amount = amountOf(r, p);
        if (problem.isEmpty())
            problem = amount.problem;
        row.settle(problem, amount.cents.value_or(0), p.invertSigns);
        if (p.currencyColumn >= 0) {
            const QString c = field(r, p.currencyColumn).trimmed();
            if (!c.isEmpty() && !currencies.contains(c))
                currencies.append(c);
        }
        s.rows.append(row);
    }
    if (currencies.size() == 1)
        s.currency = currencies.first();
    return s;
}

} // namespace importer
