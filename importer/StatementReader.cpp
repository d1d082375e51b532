#include "importer/StatementReader.h"

#include "importer/CamtReader.h"
#include "importer/CsvReader.h"
#include "importer/FormatSniffer.h"
#include "importer/OfxReader.h"
#include "importer/QifReader.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace importer {

namespace {

Statement refused(const QString& reason)
{
    Statement s;
    s.refusal = reason;
    return s;
}

QString tooLarge(qint64 size)
{
    return QStringLiteral("The file is %1; statements larger than %2 are not read (a bank's statement is "
                          "far smaller: is this the right file?).")
        .arg(QLocale::c().formattedDataSize(size), QLocale::c().formattedDataSize(kMaxStatementBytes));
}

// Cuts descriptions and bank ids longer than any bank writes, and says so once.
void cutLongTexts(Statement& s)
{
    auto cut = [](QString& text) {
        if (text.size() <= kMaxTextLength)
            return false;
        // Never between the two halves of a character outside the basic plane.
        text.truncate(text.at(kMaxTextLength - 1).isHighSurrogate() ? kMaxTextLength - 1 : kMaxTextLength);
        return true;
    };
    int firstLine = 0;
    qsizetype rows = 0;
    for (Row& row : s.rows) {
        const bool description = cut(row.description);
        if ((cut(row.reference) || description) && rows++ == 0)
            firstLine = row.line;
    }
    if (rows == 1)
        s.notes.append(QStringLiteral("Line %1: a text longer than %2 characters was cut there.")
                           .arg(firstLine).arg(kMaxTextLength));
    else if (rows > 1)
        s.notes.append(QStringLiteral("Line %1 and %2 more rows: texts longer than %3 characters were cut there.")
                           .arg(firstLine).arg(rows - 1).arg(kMaxTextLength));
}

Statement readFormat(Format format, const QByteArray& bytes, const ReadOptions& options)
{
    switch (format) {
    case Format::Ofx: return readOfx(bytes, options);
    case Format::Qif: return readQif(bytes, options);
    case Format::Csv: return readCsv(bytes, options);
    case Format::Camt: return readCamt(bytes, options);
    case Format::Unknown: break;
    }
    return {};
}

} // namespace

Statement readStatement(const QByteArray& bytes, const QString& fileName, const ReadOptions& options)
{
    if (bytes.size() > kMaxStatementBytes)
        return refused(tooLarge(bytes.size()));
    const Sniffed sniffed = sniffFormat(bytes.left(64 * 1024), fileName);
    if (sniffed.format == Format::Unknown)
        return refused(sniffed.refusal);
    Statement s = readFormat(sniffed.format, bytes, options);
    cutLongTexts(s);
    return s;
}

Statement readStatementFile(const QString& path, const ReadOptions& options)
{
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir())
        return refused(QStringLiteral("\"%1\" is a folder, not a statement file.").arg(path));
    // A pipe or a device would hold the read (a pipe with no writer, for ever): only a
    // regular file, through any links, is a statement file.
    if (info.exists() && !info.isFile())
        return refused(QStringLiteral("\"%1\" is not a regular file (a pipe or a device), so it is not read.").arg(path));
    if (info.size() > kMaxStatementBytes)
        return refused(tooLarge(info.size()));
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString()));
    // Read one byte past the limit: a file that grew since it was measured is still refused.
    const QByteArray bytes = file.read(kMaxStatementBytes + 1);
    return readStatement(bytes, info.fileName(), options);
}

} // namespace importer
