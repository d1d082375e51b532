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

} // namespace

Statement readStatement(const QByteArray& bytes, const QString& fileName, const ReadOptions& options)
{
    if (bytes.size() > kMaxStatementBytes)
        return refused(tooLarge(bytes.size()));
    const Sniffed sniffed = sniffFormat(bytes.left(64 * 1024), fileName);
    switch (sniffed.format) {
    case Format::Ofx: return readOfx(bytes, options);
    case Format::Qif: return readQif(bytes, options);
    case Format::Csv: return readCsv(bytes, options);
    case Format::Camt: return readCamt(bytes, options);
    case Format::Unknown: break;
    }
    return refused(sniffed.refusal);
}

Statement readStatementFile(const QString& path, const ReadOptions& options)
{
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir())
        return refused(QStringLiteral("\"%1\" is a folder, not a statement file.").arg(path));
    if (info.size() > kMaxStatementBytes)
        return refused(tooLarge(info.size()));
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("\"%1\" cannot be read: %2").arg(path, file.errorString()));
    // Read one byte past the limit: a file that grew since it was measured is still refused.
    const QByteArray bytes = file.read(kMaxStatementBytes + 1);
    return readStatement(bytes, info.fileName(), options);
}

} // namespace importer
