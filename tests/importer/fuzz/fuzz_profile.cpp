// libFuzzer target: a stored profile text, then a CSV read with whatever profile it gives.
// The first line of the input is the profile, the rest the statement.
#include "importer/CsvReader.h"
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\n');
    const QString stored = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const std::optional<importer::CsvProfile> profile = importer::CsvProfile::fromString(stored);
    if (profile && importer::CsvProfile::fromString(profile->toString()) != profile)
        std::abort();
    importer::ReadOptions options;
    options.csvProfile = profile;
    checkStatement(importer::readCsv(cut < 0 ? QByteArray() : bytes.mid(cut + 1), options));
    return 0;
}
