#pragma once
// The desktop's opener: web pages, documents and videos go to whatever program the
// user's desktop chooses for them. Every open the program makes goes through the one
// current Desktop object, so tests can answer for the desktop.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    // Hands a web address or a local file to the desktop's default program for it.
    // False when the desktop could not hand it on; callers that must stay silent
    // ignore the answer.
    virtual bool open(const QUrl& target) = 0;
    // Whether the desktop has a program registered for files of mimeType, or one of
    // the named programs is on the PATH.
    virtual bool canOpen(const QString& mimeType, const QStringList& programs) = 0;
    // Starts the first of the named programs found on the PATH with file, not waiting
    // for it: for a desktop whose opener is missing (no xdg-open). The program started,
    // or "" when none of them is there or it could not be started.
    virtual QString openWith(const QStringList& programs, const QString& file) = 0;

    static Desktop& current();
    // Replaces the desktop in use (nullptr restores the real one).
    static void setCurrent(Desktop* desktop);
};

// The real desktop: QDesktopServices for opening (xdg-open on a plain X11 session),
// the PATH and the desktop's MIME associations (desktop entries and mimeapps.list) for
// the question of what can be opened.
class QtDesktop : public Desktop {
public:
    bool open(const QUrl& target) override;
    bool canOpen(const QString& mimeType, const QStringList& programs) override;
    QString openWith(const QStringList& programs, const QString& file) override;
};

} // namespace platform
