#include "main/PendingEvents.h"

#include "shell/Dialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace mainwindow {

namespace {

// The command runs to its end: its dialog cannot be closed, by its close box or Escape,
// which would let the user at the window again while the command still reads it.
class BusyDialog : public QProgressDialog {
public:
    using QProgressDialog::QProgressDialog;

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
    void reject() override {}
};

} // namespace

PendingEvents::PendingEvents(QWidget* window, const QString& label, int total, std::chrono::milliseconds showAfter)
    : m_window(window), m_label(label), m_total(total), m_showAfter(showAfter.count())
{
    m_clock.start();
}

PendingEvents::~PendingEvents()
{
    delete m_dialog;
}

void PendingEvents::run(int done)
{
    const qint64 now = m_clock.elapsed();
    if (now - m_last < kIntervalMs)
        return;
    m_last = now;
    if (!m_dialog && now >= m_showAfter) {
        m_dialog = new BusyDialog(m_label, QString(), 0, m_total, m_window);
        m_dialog->setWindowTitle(platform::appTitle());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setCancelButton(nullptr);
        m_dialog->setWindowFlag(Qt::WindowCloseButtonHint, false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setCursor(Qt::WaitCursor);
        m_dialog->show();
    }
    if (m_dialog) {
        m_dialog->setValue(done);
        QCoreApplication::processEvents();
    } else {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace mainwindow
