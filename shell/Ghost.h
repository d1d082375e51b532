#pragma once
// The help window: a small window shown at every start, beside the main window and
// owned by no window. It offers the help video stored next to the program and the
// maker's FAQ, contact and home pages, and carries the program's icon. Its close box
// only minimises it; it goes away when the program ends.

#include <QPushButton>
#include <QWidget>

class QCloseEvent;

namespace shell {

class PictureBox;

class Ghost : public QWidget {
    Q_OBJECT
public:
    Ghost();

    // Colours, caption, hand pointer, and the layout the side files call for: without
    // "icon256.gif" no picture area, without a video no video button.
    void Form_Load();
    // A close request: unloadMode 0 is the window's own close box, which only
    // minimises; any other request (the program ending) goes through.
    void Form_QueryUnload(bool& cancel, int unloadMode);

    void PushButton3_Click();   // the help video
    void PushButton4_Click();   // the FAQ page
    void PushButton5_Click();   // e-mail: the FAQ page or the contact form
    void PushButton6_Click();   // the home page

    // The video the first button plays: the program folder's Video/ followed by the
    // name of its first ordinary file (only the folder when there is none).
    static QString videoPath();

    PictureBox* Image1;
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QPushButton* PushButton6;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void videoCheck();
    QPushButton* makeButton(const char* name, const QString& caption, double top);
};

} // namespace shell
