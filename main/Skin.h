#pragma once
// The optional skin: a Qt style sheet in the program folder's "x/o.cjs", laid over the
// main window at start-up.

#include <QString>

class QWidget;

namespace mainwindow {

// program folder + "/x/o.cjs".
QString skinFile();
// Whether there is a skin to apply: an ordinary file that can be read.
bool skinPresent();
// Reads the skin and lays it over window. Throws, leaving the window's own style, when
// the file is not UTF-8 text or Qt's style-sheet parser rejects it.
void applySkin(QWidget* window, const QString& path);

} // namespace mainwindow
