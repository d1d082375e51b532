// Where exports go: a new file each time, in the user's Documents folder, made when
// missing; an earlier export is never written over.
#include "output/ExportFile.h"

#include "platform/AppError.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

TEST(ExportFile, EachExportGetsANewFileNamedAfterItsMomentAndNothingIsWrittenOver)
{
    QTemporaryDir dir;
    const QDateTime now(QDate(2026, 12, 7), QTime(14, 3, 22));
    QFile earlier(dir.filePath(QStringLiteral("Tallyfold export 2026-12-07 14.03.22 (2).xlsx")));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier export");
    earlier.close();

    const QString first = output::reserveExportFile(dir.path(), now);
    const QString second = output::reserveExportFile(dir.path(), now);
    const QString third = output::reserveExportFile(dir.path(), now);
    EXPECT_EQ(QFileInfo(first).fileName(), "Tallyfold export 2026-12-07 14.03.22.xlsx");
    EXPECT_EQ(QFileInfo(second).fileName(), "Tallyfold export 2026-12-07 14.03.22 (3).xlsx");
    EXPECT_EQ(QFileInfo(third).fileName(), "Tallyfold export 2026-12-07 14.03.22 (4).xlsx");
    EXPECT_TRUE(QFile::exists(first));   // made at once, so the next export sees it taken
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "an earlier export");

    // A folder that is a file takes no export.
    EXPECT_THROW(output::reserveExportFile(earlier.fileName(), now), platform::AppError);
}

TEST(ExportFile, TheDocumentsFolderIsMadeWhenMissingAndRefusedWhenItCannotBe)
{
    testing_support::TestEnvironment env;   // its own home, without folder settings
    EXPECT_EQ(output::exportFolder(), env.documents());
    EXPECT_TRUE(QFileInfo(env.documents()).isDir());

    QDir(env.documents()).removeRecursively();
    QFile blocker(env.documents());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(output::exportFolder(), platform::AppError);
}

} // namespace
