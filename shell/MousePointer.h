#pragma once
// A window's mouse pointer, as the windows name it: 0 the default arrow, 11 busy, 99
// the window's own mouse icon (the hand, when its cursor file was found). The value
// belongs to the window; the hover and reset handlers of each window change it, and
// a long command sets 11 and back to 0.

#include <QString>

class QCursor;
class QWidget;

namespace shell {

enum MousePointer { vbDefault = 0, vbHourglass = 11, vbCustom = 99 };

int mousePointer(const QWidget* window);
// Sets the window's pointer and shows it over the window.
void setMousePointer(QWidget* window, int pointer);
// The cursor pointer 99 shows for this window; without one it is the default arrow.
void setMouseIcon(QWidget* window, const QCursor& icon);

// A Windows cursor file (.cur) as a pointer, with the hot spot the file gives.
// Throws "Invalid picture" when the file cannot be read as one.
QCursor cursorFromFile(const QString& path);

} // namespace shell
