#pragma once
// A Desktop double for tests: answers from a script, logs every target it was asked to
// open, and fails the test on a call that no answer was scripted for.

#include "shell/Desktop.h"

#include <deque>
#include <functional>
#include <vector>

namespace testing_support {

class ScriptedDesktop : public platform::Desktop {
public:
    ScriptedDesktop() { platform::Desktop::setCurrent(this); }
    ~ScriptedDesktop() override { platform::Desktop::setCurrent(nullptr); }

    // Answers for the next open() and canOpen() calls.
    void answerOpen(bool opened) { m_openAnswers.push_back(opened); }
    void answerCanOpen(bool can) { m_canOpenAnswers.push_back(can); }
    // The program the next openWith() started, "" for none.
    void answerOpenWith(const QString& program) { m_openWithAnswers.push_back(program); }

    bool open(const QUrl& target) override;
    bool canOpen(const QString& mimeType, const QStringList& programs) override;
    QString openWith(const QStringList& programs, const QString& file) override;

    // Everything open() was asked for, in order, whether or not it was answered.
    const std::vector<QUrl>& opened() const { return m_opened; }
    // Every file openWith() was asked to start a program for, in order.
    const std::vector<QString>& openedWith() const { return m_openedWith; }
    // Runs while open() is being asked, to look at the program's state at that moment.
    void whenOpening(std::function<void(const QUrl&)> look) { m_whenOpening = std::move(look); }

private:
    std::deque<bool> m_openAnswers;
    std::deque<bool> m_canOpenAnswers;
    std::deque<QString> m_openWithAnswers;
    std::vector<QUrl> m_opened;
    std::vector<QString> m_openedWith;
    std::function<void(const QUrl&)> m_whenOpening;
};

} // namespace testing_support
