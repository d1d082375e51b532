#include "tests/support/ScriptedDialogs.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace testing_support {

int ScriptedDialogs::MsgBox(const QString& prompt, int style, const QString& title)
{
    m_prompts.push_back({Prompt::Message, prompt, title.isEmpty() ? platform::appTitle() : title, style});
    if (!m_messageAnswers.empty()) {
        const int answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return answer;
    }
    if (title == QStringLiteral("Application Error"))
        return (style & 0x7) == platform::vbYesNo ? platform::vbYes : platform::vbOK;
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
    m_prompts.push_back({Prompt::SaveFile, suggestedPath, title, 0});
    if (!m_saveAnswers.empty()) {
        const QString answer = m_saveAnswers.front();
        m_saveAnswers.pop_front();
        return answer;
    }
    ADD_FAILURE() << "unexpected save-file dialog: " << title.toStdString();
    return {};
}

QStringList ScriptedDialogs::reports() const
{
    QStringList out;
    for (const Prompt& p : m_prompts) {
        if (p.kind == Prompt::Message && p.title == QStringLiteral("Application Error"))
            out << p.text;
    }
    return out;
}

QStringList ScriptedDialogs::reportLines() const
{
    static const QRegularExpression where(QStringLiteral("in Tallyfold2021/08/31\\.(\\S+) at line (\\d+)"));
    QStringList out;
    for (const QString& text : reports()) {
        const auto m = where.match(text);
        out << (m.hasMatch() ? m.captured(1) + u' ' + m.captured(2) : QStringLiteral("?"));
    }
    return out;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const Prompt& p : m_prompts) {
        if (p.kind == Prompt::Message && p.title != QStringLiteral("Application Error"))
            out << p.text;
    }
    return out;
}

} // namespace testing_support
