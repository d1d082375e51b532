#pragma once
// Message boxes and input boxes. Every prompt the program shows goes through the one
// current Dialogs object, so tests can answer them from a script.

#include <QString>
#include <optional>

namespace platform {

// Button and icon choices, and answers, numbered as the windows name them.
enum MsgBoxStyle {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};
enum MsgBoxResult { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows prompt with the buttons and icon of style; an empty title means the
    // application title. Returns the button pressed.
    virtual int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = {}) = 0;
    // Asks for a line of text; Cancel gives the empty string.
    virtual QString InputBox(const QString& prompt, const QString& title = {},
                             const QString& defaultText = {}) = 0;
    // Asks where to save a file, offering suggestedPath; filter as a file dialog takes
    // it ("PDF files (*.pdf)"). The empty string when the user cancels; dialogs that
    // cannot ask answer so.
    virtual QString SaveFileName(const QString& title, const QString& suggestedPath, const QString& filter);
    // Asks for a file to open, starting in `folder`; the empty string on a cancel, and
    // from dialogs that cannot ask.
    virtual QString OpenFileName(const QString& title, const QString& folder, const QString& filter);
    // Asks for a password, its characters hidden; nullopt on a cancel, and from dialogs
    // that cannot ask. The answer is the caller's to keep in memory only.
    virtual std::optional<QString> PasswordBox(const QString& prompt);

    static Dialogs& current();
    // Replaces the dialogs in use (nullptr restores the real ones).
    static void setCurrent(Dialogs* dialogs);
};

// The application title that untitled message and input boxes carry.
QString appTitle();
void setAppTitle(const QString& title);

// Shows `message` in the current dialogs with an exclamation icon and the application
// title: how the program tells the user what a layer below the windows found by itself
// (the ledger layer's tellUser).
void tellInMessageBox(const QString& message);
// Asks `question` with Yes and No in the current dialogs: whether the answer was Yes.
bool askInMessageBox(const QString& question);

// The real dialogs, on Qt's message box and input dialog.
class QtDialogs : public Dialogs {
public:
    int MsgBox(const QString& prompt, int style, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString SaveFileName(const QString& title, const QString& suggestedPath, const QString& filter) override;
    QString OpenFileName(const QString& title, const QString& folder, const QString& filter) override;
    std::optional<QString> PasswordBox(const QString& prompt) override;
};

} // namespace platform
