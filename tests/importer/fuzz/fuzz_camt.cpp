// libFuzzer target: any bytes through the camt reader, with the options a caller may pass.
#include "importer/CamtReader.h"
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkStatement(importer::readCamt(bytes));
    importer::ReadOptions options;
    options.invertSigns = true;
    options.dateOrder = importer::DateOrder(size % 3);
    checkStatement(importer::readCamt(bytes, options));
    return 0;
}
