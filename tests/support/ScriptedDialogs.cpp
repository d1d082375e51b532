#include "tests/support/ScriptedDialogs.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace testing_support {

namespace {
const QString kReportTitle = QStringLiteral("Application Error");

// "Form1.ListData 104" from a report's text; "?" when it names no place.
QString whereReported(const QString& text)
{
    static const QRegularExpression where(QStringLiteral("in Tallyfold2021/08/31\\.(\\S+) at line (\\d+)"));
    const auto m = where.match(text);
    return m.hasMatch() ? m.captured(1) + u' ' + m.captured(2) : QStringLiteral("?");
}
} // namespace

ScriptedDialogs::ScriptedDialogs() : m_previous(&platform::Dialogs::current())
{
    platform::Dialogs::setCurrent(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    platform::Dialogs::setCurrent(m_previous);
    for (const QString& where : m_expectedReports)
        ADD_FAILURE() << "expected report never came: " << where.toStdString();
    if (!m_messageAnswers.empty() || !m_inputAnswers.empty())
        ADD_FAILURE() << "answers scripted for prompts that never came: " << m_messageAnswers.size()
                      << " message and " << m_inputAnswers.size() << " input";
}

void ScriptedDialogs::expectReport(const QString& where, int times)
{
    for (int i = 0; i < times; ++i)
        m_expectedReports.push_back(where);
}

void ScriptedDialogs::expectReports(const QStringList& where)
{
    for (const QString& w : where)
        expectReport(w);
}

int ScriptedDialogs::MsgBox(const QString& prompt, int style, const QString& title)
{
    m_prompts.push_back({Prompt::Message, prompt, title.isEmpty() ? platform::appTitle() : title, style});
    if (title == kReportTitle) {
        const QString where = whereReported(prompt);
        if (!m_expectedReports.empty() && m_expectedReports.front() == where)
            m_expectedReports.pop_front();
        else
            ADD_FAILURE() << "unexpected report " << where.toStdString()
                          << (m_expectedReports.empty() ? std::string()
                                                        : " (expected " + m_expectedReports.front().toStdString() + ")")
                          << ":\n" << prompt.toStdString();
        return platform::vbOK;
    }
    if (!m_messageAnswers.empty()) {
        const int answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return answer;
    }
    ADD_FAILURE() << "unexpected message box: " << prompt.toStdString();
    return (style & 0x7) == platform::vbYesNo ? platform::vbNo : platform::vbOK;
}

QString ScriptedDialogs::InputBox(const QString& prompt, const QString& title, const QString&)
{
    m_prompts.push_back({Prompt::Input, prompt, title.isEmpty() ? platform::appTitle() : title, 0});
    if (!m_inputAnswers.empty()) {
        const QString answer = m_inputAnswers.front();
        m_inputAnswers.pop_front();
        return answer;
    }
    ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
    return {};
}

QString ScriptedDialogs::SaveFileName(const QString& title, const QString& suggestedPath, const QString&)
{
    return fileDialog(Prompt::SaveFile, m_saveAnswers, title, suggestedPath);
}

QString ScriptedDialogs::OpenFileName(const QString& title, const QString& folder, const QString&)
{
    return fileDialog(Prompt::OpenFile, m_openAnswers, title, folder);
}

QString ScriptedDialogs::fileDialog(Prompt::Kind kind, std::deque<QString>& answers, const QString& title,
                                    const QString& path)
{
    m_prompts.push_back({kind, path, title, 0});
    if (!answers.empty()) {
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
    ADD_FAILURE() << "unexpected " << (kind == Prompt::SaveFile ? "save" : "open") << "-file dialog: "
                  << title.toStdString();
    return {};
}

QStringList ScriptedDialogs::reports() const
{
    QStringList out;
    for (const Prompt& p : m_prompts) {
        if (p.kind == Prompt::Message && p.title == kReportTitle)
            out << p.text;
    }
    return out;
}

QStringList ScriptedDialogs::reportLines() const
{
    QStringList out;
    for (const QString& text : reports())
        out << whereReported(text);
    return out;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const Prompt& p : m_prompts) {
        if (p.kind == Prompt::Message && p.title != kReportTitle)
            out << p.text;
    }
    return out;
}

} // namespace testing_support
