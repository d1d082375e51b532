#pragma once
// Lets a window's pending events run now and then during a long command, so the window
// repaints and its pointer shows. Past a moment (half a second) a window-modal progress
// dialog comes up, which keeps the user's clicks and keys away from the window until
// the command ends: what the command reads cannot change under it. Before the dialog is
// up, the user's input waits for the command to end.

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <chrono>

namespace mainwindow {

class PendingEvents {
public:
    PendingEvents(QWidget* window, const QString& label, int total,
                  std::chrono::milliseconds showAfter = std::chrono::milliseconds(500));
    ~PendingEvents();
    PendingEvents(const PendingEvents&) = delete;
    PendingEvents& operator=(const PendingEvents&) = delete;

    // Lets pending events run, when the last time was more than a moment ago; done of
    // total is what the dialog shows.
    void run(int done);

    // The dialog, once it is up.
    QProgressDialog* dialog() const { return m_dialog; }

private:
    // Often enough for the window to repaint smoothly; rarely enough to cost nothing
    // next to a million rows of work.
    static constexpr qint64 kIntervalMs = 40;

    QWidget* m_window;
    QString m_label;
    int m_total;
    qint64 m_showAfter;
    QElapsedTimer m_clock;
    qint64 m_last = -kIntervalMs;   // the first call runs
    QPointer<QProgressDialog> m_dialog;
};

} // namespace mainwindow
