#pragma once
// What a long command shows while it works: the busy pointer over its window at once,
// and a progress window once the work has taken half a second. Meanwhile tick() lets
// the windows repaint now and then; the progress window is modal to the command's
// window, so no other command can start in the middle. Both go when it is destroyed
// or done() is called.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

namespace shell {

class BusyIndicator {
public:
    BusyIndicator(QWidget* window, const QString& text);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    // Called from a long loop, as often as it likes: cheap between the moments when
    // the progress window is brought up or repainted.
    void tick();
    // The work is over: pointer back, progress window gone.
    void done();

private:
    QPointer<QWidget> m_window;
    QString m_text;
    QElapsedTimer m_started;
    qint64 m_lastPaint = 0;
    unsigned m_calls = 0;
    std::unique_ptr<QProgressDialog> m_dialog;
    bool m_done = false;
};

} // namespace shell
