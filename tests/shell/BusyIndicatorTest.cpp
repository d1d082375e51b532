// A long command's busy pointer and progress window: the pointer at once, the window
// once half a second has gone by, both gone when the work is done.
#include "shell/BusyIndicator.h"
#include "shell/MousePointer.h"

#include <QProgressDialog>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

TEST(BusyIndicator, ShowsTheBusyPointerAtOnceAndAProgressWindowAfterHalfASecond)
{
    QWidget window;
    window.show();
    {
        shell::BusyIndicator busy(&window, QStringLiteral("Preparing the report…"));
        EXPECT_EQ(shell::mousePointer(&window), shell::vbHourglass);
        QThread::msleep(550);
        for (int row = 0; row < 1000; ++row)
            busy.tick();
        auto* progress = window.findChild<QProgressDialog*>();
        ASSERT_NE(progress, nullptr);
        EXPECT_TRUE(progress->isVisible());
        EXPECT_EQ(progress->windowModality(), Qt::WindowModal);
        EXPECT_EQ(progress->labelText(), "Preparing the report…");
    }
    EXPECT_EQ(shell::mousePointer(&window), shell::vbDefault);
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);

    // Work without a window shows neither.
    shell::BusyIndicator quiet(nullptr, QStringLiteral("Preparing the report…"));
    QThread::msleep(550);
    for (int row = 0; row < 1000; ++row)
        quiet.tick();
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
}
