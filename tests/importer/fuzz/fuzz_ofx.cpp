// libFuzzer target: any bytes through the ofx reader, with the options a caller may pass.
#include "importer/OfxReader.h"
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkStatement(importer::readOfx(bytes));
    importer::ReadOptions options;
    options.invertSigns = true;
    options.dateOrder = importer::DateOrder(size % 3);
    checkStatement(importer::readOfx(bytes, options));
    return 0;
}
