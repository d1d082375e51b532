// libFuzzer target: any bytes through the format sniffer and the reader it picks.
#include "importer/StatementReader.h"
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& name : {QString(), QStringLiteral("statement.qif")}) {
        const importer::Statement s = importer::readStatement(bytes, name);
        checkStatement(s);
        checkTextsBounded(s);
    }
    return 0;
}
