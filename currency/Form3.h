#pragma once
// The currency options window: the list of currency symbols, the one chosen and
// whether it stands before or after the number. Every change is saved the moment it
// is made; "Close" only closes. The window is a view over CurrencyChoice, so a choice
// already loaded for the list is shown as it is, not read (or reported) again, and
// closing the window, however it is closed, drops the cached choice so the list
// reload that follows reads the settings afresh.

#include <QDialog>

class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace currency {

class Form3 : public QDialog {
    Q_OBJECT
public:
    explicit Form3(QWidget* owner = nullptr);

    // Fills the controls from the currency choice, loading it from the settings when
    // it is not loaded yet.
    void Form_Load();
    // Runs Form_Load, then shows the window modally until it closes.
    void showModal();

    // A new entry chosen in the list (by mouse or keyboard).
    void Combo2_Click();
    void Combo2_Change();
    void Option1_Click();
    void Option2_Click();
    // "Close".
    void PushButton2_Click();
    // "+": asks for a symbol and adds it at the end of the list.
    void PushButton3_Click();
    // "?": a hint on how the list is used.
    void PushButton4_Click();

    QGroupBox* Frame2 = nullptr;
    QComboBox* Combo2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QPushButton* PushButton2 = nullptr;

    // Every way of closing (the button, Escape, the close box) ends here.
    void done(int result) override;

private:
    void buildControls();

    // Set while the controls are filled from the choice, so filling them does not
    // count as the user choosing.
    bool m_filling = false;
};

} // namespace currency
