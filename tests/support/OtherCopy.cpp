#include "tests/support/OtherCopy.h"

namespace testing_support {

namespace {
// Generous for a loaded machine under the sanitizers: an answer that never comes ends
// the wait, and the test fails on the empty answer.
constexpr int kAnswerWaitMs = 60000;
} // namespace

OtherCopy::OtherCopy()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(TALLYFOLD_LEDGER_COPY), {});
    m_process.waitForStarted(kAnswerWaitMs);
}

OtherCopy::~OtherCopy()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kAnswerWaitMs))
        m_process.kill();
    m_process.waitForFinished(kAnswerWaitMs);
}

QString OtherCopy::send(const QString& command)
{
    m_process.write((command + u'\n').toUtf8());
    for (;;) {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(kAnswerWaitMs))
                return QStringLiteral("no answer");
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("told: ")))
            return line;
        m_told << line.mid(6);
    }
}

} // namespace testing_support
