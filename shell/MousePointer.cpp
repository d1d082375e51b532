#include "shell/MousePointer.h"

#include "platform/AppError.h"

#include <QCursor>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QVariant>
#include <QWidget>
#include <algorithm>

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

QCursor cursorFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Invalid picture"));
    // The image plugin reads the picture; the hot spot sits in the file's first
    // directory entry, where an icon file keeps its planes and bit count.
    const QByteArray head = file.peek(14);
    QImageReader reader(&file, "cur");
    const QImage image = reader.read();
    if (image.isNull() || head.size() < 14 || head[2] != 2 || head[3] != 0)
        throw platform::AppError(QStringLiteral("Invalid picture"));
    auto word = [&](int at) { return int(quint8(head[at])) | int(quint8(head[at + 1])) << 8; };
    const int hotX = std::clamp(word(10), 0, image.width() - 1);
    const int hotY = std::clamp(word(12), 0, image.height() - 1);
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

} // namespace shell
