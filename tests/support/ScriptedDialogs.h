#pragma once
// A Dialogs double for tests: answers prompts from a script, logs every prompt, and
// fails the test when a prompt arrives that no answer was scripted for.

#include "platform/Dialogs.h"

#include <QString>
#include <QStringList>
#include <deque>

namespace testing_support {

struct Prompt {
    enum Kind { Message, Input, SaveFile } kind;
    QString text;
    QString title;
    int style = 0;
};

class ScriptedDialogs : public platform::Dialogs {
public:
    ScriptedDialogs() { platform::Dialogs::setCurrent(this); }
    ~ScriptedDialogs() override { platform::Dialogs::setCurrent(nullptr); }

    // Answers for the next message boxes (vbOK, vbYes, vbNo...) and input boxes.
    void answerMessage(int button) { m_messageAnswers.push_back(button); }
    void answerInput(const QString& text) { m_inputAnswers.push_back(text); }
    // The path the next save-file dialog answers ("" for a cancel).
    void answerSaveFile(const QString& path) { m_saveAnswers.push_back(path); }

    int MsgBox(const QString& prompt, int style, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString SaveFileName(const QString& title, const QString& suggestedPath, const QString& filter) override;

    const std::vector<Prompt>& prompts() const { return m_prompts; }
    // Texts of the application error reports shown so far.
    QStringList reports() const;
    // The statement numbers of the reports, in order ("Form1.ListData 118" style).
    QStringList reportLines() const;
    QStringList messages() const;
    void clear() { m_prompts.clear(); }

private:
    std::deque<int> m_messageAnswers;
    std::deque<QString> m_inputAnswers;
    std::deque<QString> m_saveAnswers;
    std::vector<Prompt> m_prompts;
};

} // namespace testing_support
