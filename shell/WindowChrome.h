#pragma once
// What every window shares in its look: the program's icon, the hand pointer over
// push buttons with the arrow back over backgrounds, and the button-face colours of
// the dialog windows.

#include <QIcon>
#include <QLabel>
#include <QString>
#include <initializer_list>

namespace shell {

// The program's icon, with its 32, 48, 128 and 256 pixel images. The help window
// carries it; the other windows and the message boxes take it from there.
QIcon programIcon();

// The hand pointer's file: HAND-M.CUR in the program folder.
QString handCursorFile();
// Loads that file as the window's mouse icon; throws "Invalid picture" when the file
// is no cursor.
void loadHandCursor(QWidget* window);

// A label that shows a picture. ResetBackColors leaves pictures alone.
class PictureBox : public QLabel {
public:
    using QLabel::QLabel;
};

// Paints the window, and its option buttons, check boxes, frames and labels (those
// inside frames too), in the system's button-face colour. Other controls keep theirs.
void ResetBackColors(QWidget* window);

// The window's hover and reset handlers. Moving the mouse over a widget of `hover`
// sets the window's pointer to 99, over a widget of `reset` back to 0; a busy pointer
// (11) is left as it is. The window itself among `reset` stands for its bare
// background, not for the controls on it; a list stands for all of it, header and
// scroll bars included.
void installPointerHandlers(QWidget* window, std::initializer_list<QWidget*> hover,
                            std::initializer_list<QWidget*> reset);

// A fixed dialog's frame: a title and a close box, no minimise or maximise box. The
// caller fixes the size.
void setDialogFrame(QWidget* dialog);

} // namespace shell
