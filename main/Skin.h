#pragma once
// The optional skin: a Qt style sheet in the program folder's "x/o.cjs", laid over the
// main window at start-up.

#include <QtGlobal>
#include <QString>

class QWidget;

namespace mainwindow {

// program folder + "/x/o.cjs".
QString skinFile();
// Whether there is a skin to apply: an ordinary file that can be read.
bool skinPresent();
// A skin larger than this is no style sheet anyone wrote by hand, and Qt would take
// seconds and gigabytes to parse it: it is refused before it is read.
inline constexpr qint64 kMaxSkinBytes = 256 * 1024;
// Reads the skin and lays it over window. Throws, leaving the window's own style, when
// the file is larger than kMaxSkinBytes, is not UTF-8 text or Qt's style-sheet parser
// rejects it.
void applySkin(QWidget* window, const QString& path);

} // namespace mainwindow
