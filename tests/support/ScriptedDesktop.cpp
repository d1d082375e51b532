#include "tests/support/ScriptedDesktop.h"

#include <gtest/gtest.h>

namespace testing_support {

bool ScriptedDesktop::open(const QUrl& target)
{
    m_opened.push_back(target);
    if (m_whenOpening)
        m_whenOpening(target);
    if (m_openAnswers.empty()) {
        ADD_FAILURE() << "unexpected open: " << target.toString().toStdString();
        return false;
    }
    const bool answer = m_openAnswers.front();
    m_openAnswers.pop_front();
    return answer;
}

QString ScriptedDesktop::openWith(const QStringList& programs, const QString& file)
{
    m_openedWith.push_back(file);
    if (m_openWithAnswers.empty()) {
        ADD_FAILURE() << "unexpected start of one of " << programs.join(u' ').toStdString() << " for "
                      << file.toStdString();
        return {};
    }
    const QString answer = m_openWithAnswers.front();
    m_openWithAnswers.pop_front();
    return answer;
}

bool ScriptedDesktop::canOpen(const QString& mimeType, const QStringList&)
{
    if (m_canOpenAnswers.empty()) {
        ADD_FAILURE() << "unexpected question whether " << mimeType.toStdString() << " can be opened";
        return false;
    }
    const bool answer = m_canOpenAnswers.front();
    m_canOpenAnswers.pop_front();
    return answer;
}

} // namespace testing_support
