#include "tests/support/ModalWindow.h"

#include <QApplication>
#include <QWidget>

namespace testing_support {

ModalWindow::ModalWindow()
{
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        m_timer.stop();
        m_seen = true;
        // The action may end the window, and with it this round of the event loop.
        const auto act = std::move(m_act);
        act(modal);
    });
}

void ModalWindow::whenShown(std::function<void(QWidget*)> act)
{
    m_act = std::move(act);
    m_seen = false;
    m_timer.start();
}

} // namespace testing_support
