#include "shell/WindowChrome.h"

#include "platform/AppPaths.h"
#include "shell/MousePointer.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSet>

namespace shell {

QIcon programIcon()
{
    // Built into the program from the drawing in assets/, so it can never go missing.
    static const QIcon icon = [] {
        QIcon built;
        for (int size : {32, 48, 128, 256})
            built.addFile(QStringLiteral(":/hicolor/%1x%1/apps/tallyfold.png").arg(size), QSize(size, size));
        return built;
    }();
    return icon;
}

QString handCursorFile()
{
    return platform::programFolder() + QStringLiteral("/HAND-M.CUR");
}

void loadHandCursor(QWidget* window)
{
    setMouseIcon(window, cursorFromFile(handCursorFile()));
}

void ResetBackColors(QWidget* window)
{
    const QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
    auto paint = [&](QWidget* w) {
        QPalette palette = w->palette();
        palette.setColor(w->backgroundRole(), face);
        w->setPalette(palette);
        // Controls inside a frame let the frame show through: the style shades a frame's
        // inside, and a filled control would stand out of it as a lighter patch.
        w->setAutoFillBackground(w == window || w->parentWidget() == window);
    };
    paint(window);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->window() != window || dynamic_cast<PictureBox*>(control))
            continue;
        if (qobject_cast<QRadioButton*>(control) || qobject_cast<QCheckBox*>(control)
            || qobject_cast<QGroupBox*>(control) || qobject_cast<QLabel*>(control))
            paint(control);
    }
}

namespace {

// Watches mouse moves on a window's hover and reset surfaces.
class PointerHandlers : public QObject {
public:
    explicit PointerHandlers(QWidget* window) : QObject(window), m_window(window) {}

    void watch(QWidget* w, bool hover)
    {
        (hover ? m_hover : m_reset).insert(w);
        // Moves without a button pressed reach only widgets that track the mouse.
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseMove)
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (mousePointer(m_window) == vbHourglass)
            return false;
        if (m_hover.contains(w)) {
            setMousePointer(m_window, vbCustom);
        } else if (m_reset.contains(w)) {
            // A move a child did not take (a push button's, say) travels on to its
            // parent: only a move over the surface itself counts.
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (!w->childAt(at))
                setMousePointer(m_window, vbDefault);
        }
        return false;
    }

private:
    QWidget* m_window;
    QSet<QWidget*> m_hover;
    QSet<QWidget*> m_reset;
};

} // namespace

void installPointerHandlers(QWidget* window, std::initializer_list<QWidget*> hover,
                            std::initializer_list<QWidget*> reset)
{
    auto* handlers = new PointerHandlers(window);
    for (QWidget* w : hover)
        handlers->watch(w, true);
    for (QWidget* w : reset) {
        handlers->watch(w, false);
        // A list's moves arrive at its parts: the rows' viewport, the header, the bars.
        if (qobject_cast<QAbstractScrollArea*>(w)) {
            for (QWidget* part : w->findChildren<QWidget*>())
                handlers->watch(part, false);
        }
    }
}

void setDialogFrame(QWidget* dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
}

} // namespace shell
