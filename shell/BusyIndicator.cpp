#include "shell/BusyIndicator.h"

#include "shell/MousePointer.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace shell {

namespace {
constexpr qint64 kShowAfterMs = 500;
constexpr qint64 kRepaintEveryMs = 50;
} // namespace

BusyIndicator::BusyIndicator(QWidget* window, const QString& text) : m_window(window), m_text(text)
{
    m_started.start();
    if (m_window)
        setMousePointer(m_window, vbHourglass);
}

BusyIndicator::~BusyIndicator()
{
    done();
}

void BusyIndicator::tick()
{
    // The clock is read only every so often: tick() may come once a row.
    if (m_done || !m_window || (++m_calls & 0x3F) != 0)
        return;
    const qint64 now = m_started.elapsed();
    if (now < kShowAfterMs || now - m_lastPaint < kRepaintEveryMs)
        return;
    if (!m_dialog) {
        m_dialog = std::make_unique<QProgressDialog>(m_text, QString(), 0, 0, m_window);
        m_dialog->setWindowTitle(QCoreApplication::applicationName());
        // Nothing to cancel or close: it goes when the work is done.
        m_dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    m_lastPaint = now;
    QCoreApplication::processEvents();
}

void BusyIndicator::done()
{
    if (m_done)
        return;
    m_done = true;
    m_dialog.reset();
    if (m_window)
        setMousePointer(m_window, vbDefault);
}

} // namespace shell
