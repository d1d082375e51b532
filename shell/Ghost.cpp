#include "shell/Ghost.h"

#include "platform/AppPaths.h"
#include "shell/Desktop.h"
#include "shell/Dialogs.h"
#include "platform/FileFunctions.h"
#include "shell/Maker.h"
#include "shell/Twips.h"
#include "shell/WindowChrome.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>
#include <QScreen>
#include <QUrl>

namespace shell {

namespace {

// Design geometry in twips. The buttons sit near the top; with the picture they move
// down below it, without it the window loses the picture's height.
constexpr double kClientWidth = 5655;
constexpr double kClientHeight = 6960;
constexpr double kButtonLeft = 270, kButtonWidth = 5115, kButtonHeight = 405;
constexpr double kFirstButtonTop = 900;
constexpr double kButtonPitch = 540;
constexpr double kPictureShift = 3770;    // buttons down, below the picture
constexpr double kNoPictureCut = 3750;    // window shorter without the picture
constexpr double kNoVideoCut = 510;       // window shorter without the video button

void open(const QUrl& target)
{
    // A page or video that cannot be opened (no browser, no player) is let go quietly.
    platform::Desktop::current().open(target);
}

void moveUp(QWidget* w, double twips)
{
    setTopTwips(w, topTwips(w) - twips);
}

void shorten(QWidget* window, double twips)
{
    setClientSizeTwips(window, widthTwips(window), heightTwips(window) - twips);
}

} // namespace

Ghost::Ghost()
{
    setObjectName(QStringLiteral("Ghost"));
    // An ordinary window with no owner: it stays up beside the main window, not above
    // it, and, minimised by its close box, waits in the task list, which many desktops
    // keep tool windows out of.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());
    setFont(windowFont());
    setClientSizeTwips(this, kClientWidth, kClientHeight);

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    setLeftTwips(Image1, 840);
    setTopTwips(Image1, 750);
    Image1->resize(0, 0);

    PushButton3 = makeButton("PushButton3", QStringLiteral("Watch Help/Demo Video For This Software"), kFirstButtonTop);
    PushButton4 = makeButton("PushButton4", QStringLiteral("Common Questions (FAQ)"), kFirstButtonTop + kButtonPitch);
    PushButton5 = makeButton("PushButton5", QStringLiteral("Email Team Marlowick"), kFirstButtonTop + 2 * kButtonPitch);
    PushButton6 = makeButton("PushButton6", QStringLiteral("Open ") + kMakerHost, kFirstButtonTop + 3 * kButtonPitch);

    connect(PushButton3, &QPushButton::clicked, this, &Ghost::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Ghost::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Ghost::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Ghost::PushButton6_Click);
    installPointerHandlers(this, {PushButton3, PushButton4, PushButton5, PushButton6}, {this, Image1});
}

QPushButton* Ghost::makeButton(const char* name, const QString& caption, double top)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(buttonFont());
    button->setAutoDefault(false);
    placeTwips(button, kButtonLeft, top, kButtonWidth, kButtonHeight);
    return button;
}

void Ghost::Form_Load()
{
    ResetBackColors(this);
    setWindowTitle(QStringLiteral("Tallyfold"));
    // The help window reports nothing: a cursor file that cannot be read leaves the arrow.
    if (platform::FileExists(handCursorFile())) {
        try {
            loadHandCursor(this);
        } catch (const std::exception&) {
        }
    }
    const QString picturePath = platform::programFolder() + QStringLiteral("/icon256.gif");
    // A picture file that cannot be read is laid out as a missing one, not as an empty hole.
    const QImage picture = platform::FileExists(picturePath) ? QImageReader(picturePath).read() : QImage();
    if (!picture.isNull()) {
        videoCheck();
        Image1->setPixmap(QPixmap::fromImage(picture));
        Image1->resize(picture.size());
        for (QPushButton* button : {PushButton3, PushButton4, PushButton5, PushButton6})
            setTopTwips(button, topTwips(button) + kPictureShift);
    } else {
        shorten(this, kNoPictureCut);
        videoCheck();
    }
    // First shown at the top right of the screen, clear of the main window's centre.
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const int margin = toPixels(360, this);
        move(area.right() - width() - margin, area.top() + margin);
    }
}

void Ghost::videoCheck()
{
    // An empty or missing folder leaves only the folder's own path, which is no video.
    if (!QFileInfo(videoPath()).isFile()) {
        PushButton3->hide();
        for (QPushButton* button : {PushButton4, PushButton5, PushButton6})
            moveUp(button, kButtonPitch);
        shorten(this, kNoVideoCut);
    }
}

QString Ghost::videoPath()
{
    const QString folder = platform::programFolder() + QStringLiteral("/Video/");
    const QString name = platform::FirstFileName(folder);
    return folder + name;
}

void Ghost::Form_QueryUnload(bool& cancel, int unloadMode)
{
    if (unloadMode == 0) {
        cancel = true;
        hide();
        setWindowState(windowState() | Qt::WindowMinimized);
        show();
    }
}

void Ghost::closeEvent(QCloseEvent* event)
{
    // The close box and the window menu send their request from outside the program.
    bool cancel = false;
    Form_QueryUnload(cancel, event->spontaneous() ? 0 : 1);
    event->setAccepted(!cancel);
}

void Ghost::PushButton3_Click()
{
    open(QUrl::fromLocalFile(videoPath()));
}

void Ghost::PushButton4_Click()
{
    open(QUrl(kFaqPage));
}

void Ghost::PushButton5_Click()
{
    auto& dialogs = platform::Dialogs::current();
    if (dialogs.MsgBox(QStringLiteral("Most questions can be answered on the 'Common Questions (FAQ)' web site.")
                           + QStringLiteral("\r\r") + QStringLiteral("Woud you like to open this site now?"),
                       platform::vbYesNo)
        == platform::vbYes) {
        open(QUrl(kFaqPage));
        return;
    }
    if (dialogs.MsgBox(QStringLiteral("As long as your issue hasn't been addressed on the 'Common Questions (FAQ)' "
                                      "web site, you can contact Team Marlowick directly using the online contact form.")
                           + QStringLiteral("\r\r") + QStringLiteral("Would you like to open the contact form now?"),
                       platform::vbYesNo)
        == platform::vbYes)
        open(QUrl(kContactPage));
}

void Ghost::PushButton6_Click()
{
    open(QUrl(kHomePage));
}

} // namespace shell
