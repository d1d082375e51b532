// libFuzzer target: any bytes through the qif reader, with the options a caller may pass.
#include "importer/QifReader.h"
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkStatement(importer::readQif(bytes));
    importer::ReadOptions options;
    options.invertSigns = true;
    options.dateOrder = importer::DateOrder(size % 3);
    checkStatement(importer::readQif(bytes, options));
    return 0;
}
