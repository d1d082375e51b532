#pragma once
// Answers a modal window the way a person would: once a modal window is showing (its
// exec() running), the scripted action runs on it. The watch polls, so the window may
// come after any number of other events; it stops when it has acted or is destroyed,
// so keep it alive for as long as the window is awaited.

#include <QTimer>
#include <functional>

class QWidget;

namespace testing_support {

class ModalWindow {
public:
    ModalWindow();

    // Watches for the next modal window and runs act on it once, replacing any
    // action still waiting.
    void whenShown(std::function<void(QWidget*)> act);
    // Whether the last action awaited has run.
    bool seen() const { return m_seen; }

private:
    QTimer m_timer;
    std::function<void(QWidget*)> m_act;
    bool m_seen = false;
};

} // namespace testing_support
