#include "shell/MousePointer.h"

#include <QCursor>
#include <QVariant>
#include <QWidget>

namespace shell {

namespace {
const char* const kPointerProperty = "MousePointer";
const char* const kIconProperty = "MouseIcon";
} // namespace

int mousePointer(const QWidget* window)
{
    return window->property(kPointerProperty).toInt();
}

void setMousePointer(QWidget* window, int pointer)
{
    window->setProperty(kPointerProperty, pointer);
    switch (pointer) {
    case vbHourglass:
        window->setCursor(Qt::WaitCursor);
        break;
    case vbCustom: {
        const QVariant icon = window->property(kIconProperty);
        window->setCursor(icon.isValid() ? icon.value<QCursor>() : QCursor(Qt::ArrowCursor));
        break;
    }
    default:
        window->unsetCursor();
        break;
    }
}

void setMouseIcon(QWidget* window, const QCursor& icon)
{
    window->setProperty(kIconProperty, QVariant::fromValue(icon));
    if (mousePointer(window) == vbCustom)
        setMousePointer(window, vbCustom);
}

} // namespace shell
