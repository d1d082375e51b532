// libFuzzer target: any bytes through the format sniffer and the reader it picks.
#include "importer/StatementReader.h"
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkStatement(importer::readStatement(bytes));
    checkStatement(importer::readStatement(bytes, QStringLiteral("statement.qif")));
    return 0;
}
