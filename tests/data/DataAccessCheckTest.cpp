// The start-up check of the data-access library: the library this program runs with
// passes it, testers can make it fail, and the system's width picks the repair package.
#include "data/DataAccessCheck.h"
#include "platform/AppError.h"
#include "platform/AppPaths.h"
#include "tests/support/TestEnvironment.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

struct RealArchitecture {
    ~RealArchitecture() { data::setArchitectureSource(nullptr); }
};

QString packageName()
{
    return QFileInfo(data::repairPackagePath()).fileName();
}

} // namespace

TEST(DataAccessProbe, TheLibraryInUsePassesAndOnlyTheTestersSwitchMakesItFail)
{
    EXPECT_EQ(data::dataAccessProblem(), QString());

    testing_support::ScopedVariable probeSwitch("TALLYFOLD_FAIL_DATA_ACCESS_PROBE");
    for (const char* value : {static_cast<const char*>(nullptr), "0", "", "yes", "11"}) {
        SCOPED_TRACE(value ? value : "unset");
        probeSwitch.set(value);
        EXPECT_NE(data::createProbeConnection(), nullptr);
        EXPECT_NE(data::createProbeRecordset(), nullptr);
    }
    probeSwitch.set("1");
    EXPECT_THROW(data::createProbeConnection(), platform::DbError);
    EXPECT_THROW(data::createProbeRecordset(), platform::DbError);
}

TEST(RepairPackage, SixtyFourBitSystemsGetTheirOwnAndEveryOtherAnswerTheThirtyTwoBitOne)
{
    RealArchitecture restore;
    const struct {
        const char* architecture;
        const char* package;
    } cases[] = {
        {"x86_64", "ADOFix64.msu"}, {"arm64", "ADOFix64.msu"}, {"aarch64", "ADOFix64.msu"},
        {"ppc64le", "ADOFix64.msu"}, {"riscv64", "ADOFix64.msu"}, {"s390x", "ADOFix64.msu"},
        {"i386", "ADOFix86.msu"}, {"i686", "ADOFix86.msu"}, {"arm", "ADOFix86.msu"},
        {"mips", "ADOFix86.msu"}, {"", "ADOFix86.msu"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.architecture);
        data::setArchitectureSource([&] { return QString::fromLatin1(c.architecture); });
        EXPECT_EQ(packageName(), QString::fromLatin1(c.package));
    }

    data::setArchitectureSource([]() -> QString { throw platform::AppError(QStringLiteral("no answer")); });
    EXPECT_THROW(data::Is64BitWindows(), platform::AppError);
    EXPECT_EQ(packageName(), QStringLiteral("ADOFix86.msu"));

    // The package sits in the program folder.
    platform::setProgramFolder(QStringLiteral("/opt/Tally fold"));
    EXPECT_EQ(data::repairPackagePath(), QStringLiteral("/opt/Tally fold/ADOFix86.msu"));
    platform::setProgramFolder(QString());

    // A 64-bit program only runs on a 64-bit system, so the real answer must agree.
    data::setArchitectureSource(nullptr);
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(data::Is64BitWindows());
    }
}
