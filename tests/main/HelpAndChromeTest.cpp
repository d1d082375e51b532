// The main window's part in help and chrome: the help window up before the main window,
// the icon every window carries, the Help button, the optional skin, the occasional home
// page, and the hand pointer over the buttons.
#include "tests/main/MainWindowFixture.h"

#include "currency/Form3.h"
#include "data/Ledger.h"
#include "editor/Form2.h"
#include "main/Skin.h"
#include "shell/Ghost.h"
#include "shell/MousePointer.h"
#include "tests/support/ScriptedDesktop.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QTest>

using namespace mainwindow;

namespace {

const QList<QSize> kIconSizes{{32, 32}, {48, 48}, {128, 128}, {256, 256}};
const QUrl kHome(QStringLiteral("https://marlowick.example/"));

QColor background(const QWidget* w)
{
    return w->palette().color(w->backgroundRole());
}

} // namespace

using HelpAndChrome = MainWindowTest;

TEST_F(HelpAndChrome, HelpWindowIsUpBeforeTheMainWindowAndEveryWindowCarriesItsIcon)
{
    start();
    const shell::Ghost* ghost = form.helpWindow();
    ASSERT_NE(ghost, nullptr);
    EXPECT_TRUE(ghost->isVisible());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ghost->parentWidget(), nullptr);
    EXPECT_EQ(ghost->windowIcon().availableSizes(), kIconSizes);
    EXPECT_EQ(form.windowIcon().cacheKey(), ghost->windowIcon().cacheKey());
    EXPECT_EQ(QApplication::windowIcon().cacheKey(), ghost->windowIcon().cacheKey());

    editor::Form2 form2(&form);
    form2.Form_Load();
    currency::Form3 form3(&form);
    form3.Form_Load();
    for (const QWidget* dialog : {static_cast<QWidget*>(&form2), static_cast<QWidget*>(&form3)}) {
        SCOPED_TRACE(dialog->metaObject()->className());
        EXPECT_TRUE(dialog->testAttribute(Qt::WA_SetWindowIcon));   // its own, not one inherited
        EXPECT_EQ(dialog->windowIcon().cacheKey(), ghost->windowIcon().cacheKey());
        // A fixed dialog: no minimise or maximise box, no size to drag to.
        EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    }
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(HelpAndChrome, HelpButtonPointsToTheContactPage)
{
    start();
    dialogs.answerMessage(platform::vbOK);
    form.PushButton8->click();
    ASSERT_EQ(dialogs.prompts().size(), 1u);
    const testing_support::Prompt& prompt = dialogs.prompts()[0];
    EXPECT_EQ(prompt.text, QStringLiteral("Questions? Please contact Team Marlowick at https://marlowick.example/contact/"));
    EXPECT_EQ(prompt.style, platform::vbOKOnly);
    EXPECT_EQ(prompt.title, QStringLiteral("Tallyfold"));
}

TEST_F(HelpAndChrome, HomePageOpensOnlyWhenTheDrawnNumberIsSeven)
{
    testing_support::ScriptedDesktop desktop;
    desktop.answerOpen(true);
    desktop.answerOpen(true);
    // Fractions of 1 and the numbers they draw: 1, 6, 7, 7, 8, 51, 100.
    for (double fraction : {0.0, 0.05, 0.06, 0.0699, 0.07, 0.5, 0.9999}) {
        Form1::setRandomSource([fraction] { return fraction; });
        form.OpenHomePageNow();
    }
    EXPECT_EQ(desktop.opened(), (std::vector<QUrl>{kHome, kHome}));

    // At start-up too; a desktop that cannot open it is not reported.
    Form1::setRandomSource([] { return 0.065; });
    desktop.answerOpen(false);
    start();
    EXPECT_EQ(desktop.opened().size(), 3u);
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(HelpAndChrome, SkinIsLaidOverTheButtonFaceAndOneThatCannotBeAppliedIsReported)
{
    const QColor face = QApplication::palette().color(QPalette::Button);
    const struct {
        const char* name;
        QByteArray content;   // empty: no skin file
        bool folder;          // "o.cjs" is a folder, not a file
        bool faced;
        QString sheet;
        QStringList reports;
    } cases[] = {
        {"no skin", {}, false, false, {}, {}},
        {"a folder by that name", {}, true, false, {}, {}},
        {"a style sheet", "QPushButton { color: rgb(1, 2, 3); }", false, true,
         QStringLiteral("QPushButton { color: rgb(1, 2, 3); }"), {}},
        {"not UTF-8", "QPushButton { color: red; } \xff\xfe", false, true, {}, {"Form1.Form_Load 112"}},
        {"not a style sheet", "QPushButton { color: red", false, true, {}, {"Form1.Form_Load 112"}},
        {"a sound sheet past the bound", QByteArray("QPushButton { color: red; }\n").repeated(kMaxSkinBytes / 28 + 1),
         false, true, {}, {"Form1.Form_Load 112"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(env.programFolder() + QStringLiteral("/x")).removeRecursively();
        if (c.folder)
            QDir().mkpath(env.programFolder() + QStringLiteral("/x/o.cjs"));
        else if (!c.content.isEmpty())
            env.writeProgramFile(QStringLiteral("x/o.cjs"), c.content);
        testing_support::ScriptedDialogs local;
        local.expectReports(c.reports);
        Form1 window;
        window.Form_Load();
        EXPECT_EQ(window.styleSheet(), c.sheet);
        if (c.content.size() > kMaxSkinBytes) {
            EXPECT_TRUE(local.reports().value(0).startsWith(QStringLiteral("Invalid skin: '%1' is larger than 256 KB")
                                                                .arg(env.programFolder() + QStringLiteral("/x/o.cjs"))))
                << local.reports().value(0).toStdString();
        }
        // The main window and the labels inside its summary frame take the button face
        // before the skin is applied; without a skin nothing changes.
        for (const QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(window.Frame1),
                                 static_cast<QWidget*>(window.Label1)}) {
            EXPECT_EQ(w->testAttribute(Qt::WA_SetPalette), c.faced) << w->objectName().toStdString();
            if (c.faced) {
                EXPECT_EQ(background(w), face) << w->objectName().toStdString();
            }
        }
        if (!c.sheet.isEmpty()) {
            window.PushButton1->ensurePolished();
            EXPECT_EQ(window.PushButton1->palette().color(QPalette::ButtonText), QColor(1, 2, 3));
        }
        data::releaseConnection();
    }
}

TEST_F(HelpAndChrome, HandOverEveryButtonArrowOverListFrameAndBackgroundBusyPointerKept)
{
    env.addSideFile(QStringLiteral("HAND-M.CUR"));
    start();
    form.helpWindow()->hide();   // the small test screen would put it over the buttons
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto pointerAfterMoving = [this](QWidget* w, QPoint at = {4, 4}) {
        QTest::mouseMove(w, at);
        return shell::mousePointer(&form);
    };
    const QPoint background{2, 2};   // above the list, left of it
    for (QPushButton* button : {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4,
                                form.PushButton5, form.PushButton6, form.PushButton7, form.PushButton8,
                                form.PushButton9}) {
        EXPECT_EQ(pointerAfterMoving(button), 99) << button->objectName().toStdString();
        EXPECT_EQ(form.cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(pointerAfterMoving(&form, background), 0);
    }
    for (QWidget* reset : {static_cast<QWidget*>(form.ListView1->viewport()),
                           static_cast<QWidget*>(form.ListView1->header()->viewport()),
                           static_cast<QWidget*>(form.Frame1)}) {
        pointerAfterMoving(form.PushButton2);
        EXPECT_EQ(pointerAfterMoving(reset), 0) << reset->metaObject()->className();
    }
    // A label inside the frame has no handler: the hand stays.
    pointerAfterMoving(form.PushButton2);
    EXPECT_EQ(pointerAfterMoving(form.Label1), 99);

    shell::setMousePointer(&form, shell::vbHourglass);
    EXPECT_EQ(pointerAfterMoving(form.PushButton5), 11);
    EXPECT_EQ(pointerAfterMoving(form.ListView1->viewport()), 11);
    EXPECT_EQ(pointerAfterMoving(&form, background), 11);
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
}
