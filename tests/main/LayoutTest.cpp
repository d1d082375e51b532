// The main window's two layouts: the design places of the normal window, the stretched
// layout of the maximised one, and the way back. Geometry is read in twips.
#include "tests/main/MainWindowFixture.h"

#include "main/MainLayout.h"
#include "tests/support/StoredSettings.h"
#include "shell/Twips.h"

#include <QCoreApplication>
#include <QLabel>
#include <QRect>
#include <QScreen>
#include <QTest>
#include <array>
#include <map>

using namespace mainwindow;
using namespace shell;

namespace {

struct Box {
    double left, top, width, height;
    bool operator==(const Box&) const = default;
};

Box box(const QWidget* w)
{
    return {leftTwips(w), topTwips(w), widthTwips(w), heightTwips(w)};
}

} // namespace

class Layout : public MainWindowTest {
protected:
    std::vector<QWidget*> controls() const
    {
        return {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4, form.PushButton5,
                form.PushButton6, form.PushButton7, form.PushButton8, form.PushButton9, form.ListView1, form.Frame1};
    }
    void setState(Qt::WindowState state)
    {
        form.setWindowState(state);
        QCoreApplication::processEvents();
    }
    std::map<QString, Box> places() const
    {
        std::map<QString, Box> out;
        for (QWidget* w : controls())
            out[w->objectName()] = box(w);
        return out;
    }
    // The design places: the list, row 1 on one top edge from the first showing on,
    // row 2, the help button and the frame.
    void expectDesign()
    {
        EXPECT_EQ(box(form.ListView1), (Box{120, 90, 12000, 2595}));
        EXPECT_EQ(box(form.PushButton2), (Box{120, 2790, 2880, 405}));
        EXPECT_EQ(box(form.PushButton1), (Box{3120, 2790, 2880, 405}));
        EXPECT_EQ(box(form.PushButton3), (Box{6120, 2790, 2880, 405}));
        EXPECT_EQ(box(form.PushButton7), (Box{9120, 2790, 3000, 405}));
        EXPECT_EQ(box(form.PushButton9), (Box{9120, 3315, 3000, 405}));
        EXPECT_EQ(box(form.PushButton8), (Box{120, 3825, 12000, 405}));
        EXPECT_EQ(box(form.Frame1), (Box{120, 4245, 12000, 735}));
    }
    // The stretched layout for an outer size of W x H twips, checked by its rules:
    // three button rows stacked under the list, the frame last, nothing overlapping.
    void expectStretched(double W, double H)
    {
        const Box list = box(form.ListView1);
        EXPECT_EQ(list.left, 120);
        EXPECT_EQ(list.width, W - 330);
        EXPECT_EQ(list.height, H - 2 * 405 - 420 - 120 - 465 - 735 - 105 - (405 + 105));
        const std::array<QWidget*, 4> row1{form.PushButton2, form.PushButton1, form.PushButton3, form.PushButton7};
        const std::array<QWidget*, 4> row2{form.PushButton4, form.PushButton5, form.PushButton6, form.PushButton9};
        const double left = std::max(0.0, W / 2 - 2 * 2880 - 600);
        EXPECT_EQ(box(row1[0]).top, list.top + list.height + 135);
        for (const auto* row : {&row1, &row2}) {
            double x = left;
            for (QWidget* b : *row) {
                EXPECT_EQ(box(b).left, x) << b->objectName().toStdString();
                EXPECT_EQ(box(b).top, box((*row)[0]).top) << b->objectName().toStdString();
                x += box(b).width + 120;
            }
        }
        EXPECT_EQ(box(row2[0]).top, box(row1[0]).top + 405 + 105);
        const Box help = box(form.PushButton8);
        EXPECT_EQ(help.top, box(row2[0]).top + 405 + 105);
        EXPECT_EQ(help.left, left);
        EXPECT_EQ(help.left + help.width, box(row2[3]).left + box(row2[3]).width);   // as wide as the rows
        const Box frame = box(form.Frame1);
        EXPECT_EQ(frame.top, help.top + 405 + 105);
        EXPECT_EQ(frame.left, 120);
        EXPECT_EQ(frame.width, list.width);
        EXPECT_EQ(frame.height, 735);
        for (QWidget* a : controls())
            for (QWidget* b : controls())
                EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString();
    }
};

TEST_F(Layout, NormalWindowShowsTheDesignKeepsItsSizeAndSitsStillThroughAMinimise)
{
    start();
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(widthTwips(&form), 12240);
    EXPECT_EQ(heightTwips(&form), 5055);
    form.resize(1000, 600);   // a drag on the border
    form.move(40, 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.size(), QSize(816, 337));
    expectDesign();

    const auto before = places();
    setState(Qt::WindowMinimized);
    EXPECT_EQ(places(), before);
    setState(Qt::WindowNoState);
    EXPECT_EQ(places(), before);
    EXPECT_EQ(form.pos(), QPoint(40, 50));
    EXPECT_FALSE(form.WasMaximized);
}

TEST_F(Layout, WindowStartedMaximisedStacksTheRowsUnderTheList)
{
    testing_support::store("WindowState", "2");
    start();
    form.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(form.windowStateNumber(), 2);
    EXPECT_TRUE(form.WasMaximized);
    const QRect outer = form.frameGeometry();
    const double W = toTwips(outer.width(), &form), H = toTwips(outer.height(), &form);
    expectStretched(W, H);
    // Nothing leaves the window; on this small screen the rows are as wide as its outer size.
    for (QWidget* w : controls())
        EXPECT_TRUE(w->x() >= 0 && w->geometry().bottom() <= form.rect().bottom() && leftTwips(w) + widthTwips(w) <= W)
            << w->objectName().toStdString();
    EXPECT_LE(form.Frame1->geometry().right(), form.rect().right());
    // The plain totals kept for the report never show through the taller window.
    for (const QLabel* plain : {form.Label11, form.Label22, form.Label33})
        EXPECT_FALSE(plain->isVisible()) << plain->objectName().toStdString();
}

TEST_F(Layout, RestoringAfterAMaximiseGivesTheAlignedDesignCentred)
{
    start();
    form.show();
    setState(Qt::WindowMaximized);
    setState(Qt::WindowNoState);
    ASSERT_EQ(form.windowStateNumber(), 0);
    expectDesign();
    EXPECT_EQ(form.size(), QSize(816, 337));
    const QPoint middle = form.screen()->geometry().center();
    EXPECT_LE((form.frameGeometry().center() - middle).manhattanLength(), 2);

    // From then on a minimise and restore applies the normal layout again.
    form.move(0, 0);
    setState(Qt::WindowMinimized);
    expectDesign();   // minimising changes nothing
    setState(Qt::WindowNoState);
    expectDesign();
    EXPECT_LE((form.frameGeometry().center() - middle).manhattanLength(), 2);

    // And a maximise stretches again.
    setState(Qt::WindowMaximized);
    expectStretched(toTwips(form.frameGeometry().width(), &form), toTwips(form.frameGeometry().height(), &form));
}

TEST_F(Layout, LargeScreenCentresTheRowsAndTinyOnesGiveNoNegativeSizes)
{
    // Maximised windows of other screens, laid out directly: the test screen is smaller.
    const MainLayout layout{form.ListView1, {form.PushButton2, form.PushButton1, form.PushButton3, form.PushButton7},
                            {form.PushButton4, form.PushButton5, form.PushButton6, form.PushButton9},
                            form.PushButton8, form.Frame1};
    form.resize(1916, 1050);   // 1920 x 1080
    layout.applyMaximised(28800, 16200);
    expectStretched(28800, 16200);
    EXPECT_EQ(box(form.PushButton2).left, 8040);
    for (QWidget* w : controls())
        EXPECT_TRUE(form.rect().contains(w->geometry())) << w->objectName().toStdString();

    for (const auto& [W, H] : {std::pair{1500.0, 900.0}, std::pair{0.0, 0.0}, std::pair{330.0, 4000.0}}) {
        layout.applyMaximised(W, H);
        for (QWidget* w : controls())
            EXPECT_TRUE(w->width() >= 0 && w->height() >= 0 && w->x() >= 0 && w->y() >= 0)
                << w->objectName().toStdString() << " at " << W << " x " << H;
        EXPECT_EQ(form.ListView1->height(), H < 3165 ? 0 : shell::toPixels(H - 3165, form.ListView1));
        // Buttons keep their size; the layout only moves them.
        EXPECT_EQ(box(form.PushButton7), (Box{9000, box(form.PushButton7).top, 3000, 405}));
    }
    // Back to normal, everything is where it was designed.
    layout.applyNormal();
    expectDesign();
}



TEST_F(Layout, NormalBorderIsFixedWhileMaximiseCanGrowItAndARestoredWindowStaysWherePut)
{
    start();
    form.show();
    const QSize design(816, 337);
    // Window managers offer maximise only to a window that may change size: one pixel
    // of play in height, never a drag.
    EXPECT_EQ(form.minimumSize(), design);
    EXPECT_EQ(form.maximumSize(), design + QSize(0, 1));
    setState(Qt::WindowMaximized);
    EXPECT_EQ(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    setState(Qt::WindowNoState);
    EXPECT_EQ(form.maximumSize(), design + QSize(0, 1));

    // Moved by the user once the restore has settled, then a resize arrives: the window
    // stays put at its design size.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.settlingAfterRestore(); }));
    form.move(30, 40);
    QCoreApplication::processEvents();
    form.resize(900, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.pos(), QPoint(30, 40));
    EXPECT_EQ(form.size(), design);
    expectDesign();
}
