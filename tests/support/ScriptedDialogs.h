#pragma once
// A Dialogs double for tests: answers prompts from a script, logs every prompt, and
// fails the test when a prompt arrives that no answer was scripted for, or when a
// scripted answer is never asked for.
//
// The application error report is a prompt like any other: a test states the reports
// it expects, by location and statement number, before they come:
//
//   dialogs.expectReport("Form1.ListData 104");
//   dialogs.expectReports({"Form1.Form_Load 110", "Form1.Form_Load 146"});
//
// Reports must come in the order stated. One that was not expected fails the test when
// it is shown; one that was expected but never came fails it when the double is
// destroyed (or earlier, with EXPECT_TRUE(dialogs.awaitedReports().isEmpty())).

#include "shell/Dialogs.h"
#include "tests/support/QtPrinters.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace testing_support {

struct Prompt {
    enum Kind { Message, Input, SaveFile, OpenFile } kind;
    QString text;
    QString title;
    int style = 0;
};

class ScriptedDialogs : public platform::Dialogs {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Answers for the next message boxes (vbOK, vbYes, vbNo...) and input boxes.
    void answerMessage(int button) { m_messageAnswers.push_back(button); }
    void answerInput(const QString& text) { m_inputAnswers.push_back(text); }
    // The path the next save-file dialog answers ("" for a cancel).
    void answerSaveFile(const QString& path) { m_saveAnswers.push_back(path); }
    // The path the next open-file dialog answers ("" for a cancel).
    void answerOpenFile(const QString& path) { m_openAnswers.push_back(path); }
    // Application error reports to come, as "Window.Procedure line"; `times` in a row.
    void expectReport(const QString& where, int times = 1);
    void expectReports(const QStringList& where);
    // The expected reports that have not come yet.
    QStringList awaitedReports() const { return {m_expectedReports.begin(), m_expectedReports.end()}; }

    int MsgBox(const QString& prompt, int style, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString SaveFileName(const QString& title, const QString& suggestedPath, const QString& filter) override;
    QString OpenFileName(const QString& title, const QString& folder, const QString& filter) override;

    const std::vector<Prompt>& prompts() const { return m_prompts; }
    // Texts of the application error reports shown so far.
    QStringList reports() const;
    // The locations and statement numbers of those reports, in order ("Form1.ListData 118").
    QStringList reportLines() const;
    QStringList messages() const;
    // Forgets the prompts shown so far; the answers and expectations still to come stay.
    void clear() { m_prompts.clear(); }

private:
    // A file dialog of `kind`: noted, then given the next of `answers`.
    QString fileDialog(Prompt::Kind kind, std::deque<QString>& answers, const QString& title, const QString& path);

    platform::Dialogs* m_previous;
    std::deque<int> m_messageAnswers;
    std::deque<QString> m_inputAnswers;
    std::deque<QString> m_saveAnswers;
    std::deque<QString> m_openAnswers;
    std::deque<QString> m_expectedReports;
    std::vector<Prompt> m_prompts;
};

} // namespace testing_support
