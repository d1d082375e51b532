// The help window as a user meets it: laid out by the side files found next to the
// program, its close box minimising, and its buttons handing pages and the video to
// the desktop, which a script answers.
#include "shell/Dialogs.h"
#include "shell/Ghost.h"
#include "shell/MousePointer.h"
#include "shell/Twips.h"
#include "shell/WindowChrome.h"
#include "tests/support/ScriptedDesktop.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QCloseEvent>
#include <QTest>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>

using shell::Ghost;
using namespace shell;

namespace {

class HelpWindow : public ::testing::Test {
protected:
    testing_support::TestEnvironment env;
    testing_support::ScriptedDialogs dialogs;
    testing_support::ScriptedDesktop desktop;
};

std::vector<double> buttonTops(const Ghost& ghost)
{
    std::vector<double> tops;
    for (const QPushButton* b : {ghost.PushButton3, ghost.PushButton4, ghost.PushButton5, ghost.PushButton6})
        tops.push_back(b->isHidden() ? -1 : topTwips(b));
    return tops;
}

QString videoUrl(const testing_support::TestEnvironment& env, const char* name)
{
    return QUrl::fromLocalFile(env.programFolder() + QStringLiteral("/Video/") + QString::fromLatin1(name)).toString();
}

} // namespace

TEST_F(HelpWindow, LayoutFollowsThePictureAndTheVideo)
{
    // Twips as the screen shows them: whole pixels, 15 twips each offscreen.
    auto shown = [](double twips) { return toTwips(toPixels(twips, nullptr), nullptr); };
    const double moved = 900 + 3770;   // the first button's top below the picture
    const struct {
        bool picture, video;
        double height;
        std::vector<double> tops;   // -1: hidden
    } cases[] = {
        {true, true, 6960, {shown(moved), shown(moved + 540), shown(moved + 1080), shown(moved + 1620)}},
        {true, false, 6960 - 510, {-1, shown(moved), shown(moved + 540), shown(moved + 1080)}},
        {false, true, 6960 - 3750, {900, 1440, 1980, 2520}},
        {false, false, 6960 - 4260, {-1, 900, 1440, 1980}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "picture " << c.picture << ", video " << c.video);
        QFile::remove(env.programFolder() + QStringLiteral("/icon256.gif"));
        QDir(env.programFolder() + QStringLiteral("/Video")).removeRecursively();
        if (c.picture)
            env.addSideFile(QStringLiteral("icon256.gif"));
        if (c.video)
            env.writeProgramFile(QStringLiteral("Video/demo.mp4"), "video");
        Ghost ghost;
        ghost.Form_Load();
        EXPECT_EQ(widthTwips(&ghost), 5655);
        EXPECT_EQ(heightTwips(&ghost), c.height);
        EXPECT_EQ(buttonTops(ghost), c.tops);
        EXPECT_EQ(ghost.Image1->pixmap().size(), c.picture ? QSize(256, 256) : QSize(0, 0));
        if (c.picture) {
            EXPECT_EQ(ghost.Image1->geometry(), QRect(56, 50, 256, 256));
        }
        EXPECT_EQ(ghost.windowTitle(), QStringLiteral("Tallyfold"));
    }
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(HelpWindow, OnlyAnOrdinaryFileCountsAsTheVideoAndTheFirstByNameIsPlayed)
{
    const QString videos = env.programFolder() + QStringLiteral("/Video");
    for (const char* onlyEntry : {".hidden.mp4", "clips/demo.mp4"}) {
        SCOPED_TRACE(onlyEntry);
        env.writeProgramFile(QStringLiteral("Video/") + QString::fromLatin1(onlyEntry), "video");
        Ghost ghost;
        ghost.Form_Load();
        EXPECT_TRUE(ghost.PushButton3->isHidden());
        EXPECT_EQ(heightTwips(&ghost), 6960 - 4260);
        QDir(videos).removeRecursively();
    }

    for (const char* name : {"b-tour.webm", ".a-hidden.mp4", "C-extra.avi", "a-Intro.mp4"})
        env.writeProgramFile(QStringLiteral("Video/") + QString::fromLatin1(name), "video");
    QDir().mkpath(env.programFolder() + QStringLiteral("/Video/0-folder"));
    Ghost ghost;
    ghost.Form_Load();
    ASSERT_FALSE(ghost.PushButton3->isHidden());
    desktop.answerOpen(true);
    ghost.PushButton3->click();
    ASSERT_EQ(desktop.opened().size(), 1u);
    EXPECT_EQ(desktop.opened()[0].toString(), videoUrl(env, "a-Intro.mp4"));
}

TEST_F(HelpWindow, CloseBoxMinimisesToTheTaskListAndOnlyTheProgramEndingClosesIt)
{
    Ghost ghost;
    ghost.Form_Load();
    ghost.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ghost));
    // An ordinary window of its own, which task lists show: not a tool window (which
    // many leave out), owned by no window.
    EXPECT_EQ(ghost.windowType(), Qt::Window);
    EXPECT_FALSE(ghost.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(ghost.windowHandle()->type(), Qt::Window);
    EXPECT_EQ(ghost.windowHandle()->transientParent(), nullptr);
    // The close box: the window system's request, delivered as it delivers it.
    QCloseEvent closeBox;
    QSpontaneKeyEvent::setSpontaneous(&closeBox);
    QCoreApplication::instance()->notify(&ghost, &closeBox);
    QCoreApplication::processEvents();
    EXPECT_FALSE(closeBox.isAccepted());
    EXPECT_TRUE(ghost.isVisible());
    EXPECT_TRUE(ghost.windowState() & Qt::WindowMinimized);

    EXPECT_TRUE(ghost.close());      // the program closing it
    EXPECT_FALSE(ghost.isVisible());
}

TEST_F(HelpWindow, PagesOpenThroughTheDesktopAndAFailureStaysSilent)
{
    Ghost ghost;
    ghost.Form_Load();
    EXPECT_EQ(ghost.PushButton6->text(), QStringLiteral("Open marlowick.example"));
    desktop.answerOpen(false);   // no browser
    ghost.PushButton4->click();
    desktop.answerOpen(true);
    ghost.PushButton6->click();
    ASSERT_EQ(desktop.opened().size(), 2u);
    EXPECT_EQ(desktop.opened()[0], QUrl(QStringLiteral("https://marlowick.example/question/")));
    EXPECT_EQ(desktop.opened()[1], QUrl(QStringLiteral("https://marlowick.example/")));
    EXPECT_TRUE(dialogs.prompts().empty());

    // Without a video the button's path is the bare folder, still handed on quietly.
    desktop.answerOpen(false);
    ghost.PushButton3_Click();
    EXPECT_EQ(desktop.opened().back().toString(), videoUrl(env, ""));
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(HelpWindow, EmailButtonOffersTheFaqFirstThenTheContactForm)
{
    const QString first = QStringLiteral("Most questions can be answered on the 'Common Questions (FAQ)' web site.\r\r"
                                         "Woud you like to open this site now?");
    const QString second = QStringLiteral(
        "As long as your issue hasn't been addressed on the 'Common Questions (FAQ)' web site, you can contact "
        "Team Marlowick directly using the online contact form.\r\rWould you like to open the contact form now?");
    Ghost ghost;
    ghost.Form_Load();

    dialogs.answerMessage(platform::vbNo);
    dialogs.answerMessage(platform::vbNo);
    ghost.PushButton5->click();
    EXPECT_EQ(dialogs.messages(), (QStringList{first, second}));
    EXPECT_TRUE(desktop.opened().empty());
    for (const auto& prompt : dialogs.prompts()) {
        EXPECT_EQ(prompt.style, platform::vbYesNo);   // no icon
        EXPECT_EQ(prompt.title, platform::appTitle());
    }

    dialogs.clear();
    dialogs.answerMessage(platform::vbYes);
    desktop.answerOpen(true);
    ghost.PushButton5->click();
    EXPECT_EQ(dialogs.messages(), QStringList{first});

    dialogs.answerMessage(platform::vbNo);
    dialogs.answerMessage(platform::vbYes);
    desktop.answerOpen(true);
    ghost.PushButton5->click();
    ASSERT_EQ(desktop.opened().size(), 2u);
    EXPECT_EQ(desktop.opened()[0], QUrl(QStringLiteral("https://marlowick.example/question/")));
    EXPECT_EQ(desktop.opened()[1], QUrl(QStringLiteral("https://marlowick.example/contact/")));
}

TEST_F(HelpWindow, HandOverButtonsArrowOverBackgroundAndPictureBusyPointerKept)
{
    env.addSideFile(QStringLiteral("HAND-M.CUR"));
    env.addSideFile(QStringLiteral("icon256.gif"));
    Ghost ghost;
    ghost.Form_Load();
    ghost.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ghost));
    auto moveOver = [](QWidget* w, QPoint at = {3, 3}) { QTest::mouseMove(w, at); };

    EXPECT_EQ(mousePointer(&ghost), 0);
    moveOver(ghost.PushButton4);
    EXPECT_EQ(mousePointer(&ghost), 99);
    EXPECT_EQ(ghost.cursor().shape(), Qt::BitmapCursor);   // the hand from the file
    EXPECT_EQ(ghost.cursor().hotSpot(), QPoint(13, 2));
    moveOver(ghost.PushButton4, {20, 5});
    EXPECT_EQ(mousePointer(&ghost), 99);                   // a move still on the button
    moveOver(ghost.Image1, {100, 100});
    EXPECT_EQ(mousePointer(&ghost), 0);
    EXPECT_EQ(ghost.cursor().shape(), Qt::ArrowCursor);
    moveOver(ghost.PushButton6);
    moveOver(&ghost, {4, ghost.height() - 4});             // bare background
    EXPECT_EQ(mousePointer(&ghost), 0);

    setMousePointer(&ghost, vbHourglass);
    moveOver(ghost.PushButton3);
    EXPECT_EQ(mousePointer(&ghost), 11);
    moveOver(&ghost, {4, ghost.height() - 4});
    EXPECT_EQ(mousePointer(&ghost), 11);
    EXPECT_EQ(ghost.cursor().shape(), Qt::WaitCursor);
}

TEST_F(HelpWindow, WithoutTheCursorFileTheHandIsTheArrow)
{
    Ghost ghost;
    ghost.Form_Load();
    ghost.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ghost));
    QTest::mouseMove(ghost.PushButton5, {3, 3});
    EXPECT_EQ(mousePointer(&ghost), 99);
    EXPECT_EQ(ghost.cursor().shape(), Qt::ArrowCursor);

    // A file by that name that is no cursor is passed over in the same way.
    env.writeProgramFile(QStringLiteral("HAND-M.CUR"), "not a cursor");
    Ghost second;
    second.Form_Load();
    setMousePointer(&second, vbCustom);
    EXPECT_EQ(second.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(dialogs.prompts().empty());
}
