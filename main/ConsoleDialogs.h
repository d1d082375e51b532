#pragma once
// What the command line's work without windows puts in place of the person and the
// desktop: message boxes printed on standard error, each answered as its default
// button would be (every question cancelled), and a desktop that opens nothing.

#include "shell/Desktop.h"
#include "shell/Dialogs.h"

#include <QStringList>
#include <cstdio>

namespace mainwindow {

class ConsoleDialogs : public platform::Dialogs {
public:
    int MsgBox(const QString& prompt, int style, const QString&) override
    {
        print(prompt);
        return (style & 0x7) == platform::vbYesNo ? platform::vbNo : platform::vbOK;
    }
    QString InputBox(const QString& prompt, const QString&, const QString&) override
    {
        print(prompt);
        return {};
    }
    // How many messages were printed: any means the work did not go as it should.
    int shown() const { return m_shown; }
    // Those messages, as they were given.
    const QStringList& messages() const { return m_messages; }

private:
    void print(QString text)
    {
        ++m_shown;
        m_messages << text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        std::fprintf(stderr, "tallyfold: %s\n", qPrintable(text));
    }
    int m_shown = 0;
    QStringList m_messages;
};

class ClosedDesktop : public platform::Desktop {
public:
    bool open(const QUrl&) override { return false; }
    bool canOpen(const QString&, const QStringList&) override { return false; }
    QString openWith(const QStringList&, const QString&) override { return {}; }
};

// Puts both in place while it lives.
class Console {
public:
    Console()
    {
        platform::Dialogs::setCurrent(&dialogs);
        platform::Desktop::setCurrent(&desktop);
    }
    ~Console()
    {
        platform::Desktop::setCurrent(nullptr);
        platform::Dialogs::setCurrent(nullptr);
    }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    ConsoleDialogs dialogs;
    ClosedDesktop desktop;
};

} // namespace mainwindow
