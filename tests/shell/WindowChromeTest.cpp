// The conventions every window shares: button-face colours, the hand pointer's file,
// and the program's icon.
#include "platform/AppError.h"
#include "shell/MousePointer.h"
#include "shell/WindowChrome.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QGroupBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace shell;

namespace {

QColor background(const QWidget* w)
{
    return w->palette().color(w->backgroundRole());
}

} // namespace

TEST(WindowChrome, ButtonFaceReachesFramesLabelsAndOptionsAtAnyDepthAndNothingElse)
{
    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor designed(250, 10, 10);
    QWidget window;
    QPalette red = window.palette();
    red.setColor(QPalette::Window, designed);
    red.setColor(QPalette::Base, designed);
    auto* frame = new QGroupBox(QStringLiteral("Frame"), &window);
    auto* inner = new QGroupBox(QStringLiteral("Inner"), frame);
    auto* labelInFrame = new QLabel(QStringLiteral("in a frame"), inner);
    auto* option = new QRadioButton(QStringLiteral("Yes"), frame);
    auto* check = new QCheckBox(QStringLiteral("Taxable"), &window);
    auto* label = new QLabel(QStringLiteral("on the window"), &window);
    auto* edit = new QLineEdit(&window);
    auto* button = new QPushButton(QStringLiteral("OK"), frame);
    auto* picture = new PictureBox(&window);
    const std::vector<QWidget*> painted{&window, frame, inner, labelInFrame, option, check, label};
    for (QWidget* w : painted)
        w->setPalette(red);
    for (QWidget* w : std::vector<QWidget*>{edit, button, picture})
        w->setPalette(red);

    ResetBackColors(&window);
    for (QWidget* w : painted) {
        EXPECT_EQ(background(w), face) << w->metaObject()->className();
        // Filled on the window; inside a frame the frame shows through.
        EXPECT_EQ(w->autoFillBackground(), w == &window || w->parentWidget() == &window)
            << w->metaObject()->className();
    }
    for (QWidget* w : std::vector<QWidget*>{edit, button, picture}) {
        EXPECT_FALSE(w->autoFillBackground()) << w->metaObject()->className();
        EXPECT_EQ(w->palette().color(QPalette::Base), designed) << w->metaObject()->className();
    }
    EXPECT_EQ(picture->palette().color(QPalette::Window), designed);
}

TEST(WindowChrome, BuiltHandCursorIsReadWithItsHotSpotAndAnythingElseRefused)
{
    testing_support::TestEnvironment env;
    env.addSideFile(QStringLiteral("HAND-M.CUR"));
    env.addSideFile(QStringLiteral("icon256.gif"));
    const QCursor hand = cursorFromFile(handCursorFile());
    EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
    EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
    EXPECT_EQ(hand.hotSpot(), QPoint(13, 2));
    // The finger's tip is drawn where the hot spot is; the corner is clear.
    const QImage image = hand.pixmap().toImage();
    EXPECT_GT(qAlpha(image.pixel(13, 2)), 128);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);

    for (const QString& other : {QStringLiteral("/icon256.gif"), QStringLiteral("/missing.cur")}) {
        try {
            cursorFromFile(env.programFolder() + other);
            ADD_FAILURE() << other.toStdString() << " was read as a cursor";
        } catch (const platform::AppError& e) {
            EXPECT_EQ(e.description(), QStringLiteral("Invalid picture"));
        }
    }
}

TEST(WindowChrome, ProgramIconHoldsItsFourSizes)
{
    const QIcon icon = programIcon();
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{32, 32}, {48, 48}, {128, 128}, {256, 256}}));
    // Drawn, not blank: the middle of the 32 pixel image is opaque.
    EXPECT_EQ(qAlpha(icon.pixmap(32).toImage().pixel(16, 16)), 255);
}
