#pragma once
// The application error report. A procedure that carries the report runs its numbered
// statements through one ErrorTrap: a statement that fails shows the report with its
// number and the procedure goes on with the next one. Nothing is rolled back or retried.
//
//   ErrorTrap trap("Form1", "PushButton3_Click");
//   if (trap.test(100, [&] { return rowCount() == 0; })) return;
//   trap.run(102, [&] { db.Execute(...); });
//
// A conditional whose test fails is entered (test() answers true); a read loop whose end
// test fails stops (loop() answers false).
//
// A statement refused because the ledger file cannot take it (platform::FileRefusal)
// is no fault of the program: its message is shown as it stands, not as the error
// report, and only once for all the statements of one run of the procedure (a quiet
// refusal, of a read the user was already told about, shows nothing).

#include "platform/StatementTrap.h"

#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace shell {

// The report's text, exactly as shown.
QString errorReportText(const QString& description, const QString& window, const QString& procedure,
                        int line, const QString& suffix = {});

class ErrorTrap : public platform::StatementTrap {
public:
    ErrorTrap(QString window, QString procedure)
        : m_window(std::move(window)), m_procedure(std::move(procedure)) {}

    // Runs statement `line`. Returns false when it failed (the report has been shown).
    template <class F>
    bool run(int line, F&& statement)
    {
        return guarded(line, [&] { std::forward<F>(statement)(); return true; }, false);
    }

    // The test of a conditional: its value, or true when evaluating it failed.
    template <class F>
    bool test(int line, F&& condition)
    {
        return guarded(line, std::forward<F>(condition), true);
    }

    // The same, for a step list written below the windows (see StatementTrap).
    bool run(int line, const std::function<void()>& statement) override
    {
        return guarded(line, [&] { statement(); return true; }, false);
    }
    bool test(int line, const std::function<bool()>& condition) override { return guarded(line, condition, true); }

    // The end test of a read loop: whether to go round again; false when it failed.
    template <class F>
    bool loop(int line, F&& keepGoing)
    {
        return guarded(line, std::forward<F>(keepGoing), false);
    }

    // Text appended after the report's e-mail sentence (the editor's save adds its SQL).
    void setSuffix(std::function<QString()> suffix) { m_suffix = std::move(suffix); }

private:
    // Evaluates step as statement `line`; on failure shows the report and answers onFailure.
    template <class F>
    bool guarded(int line, F&& step, bool onFailure)
    {
        m_line = line;
        try {
            return std::forward<F>(step)();
        } catch (const std::exception& e) {
            report(e);
        } catch (...) {
            reportUnknown();
        }
        return onFailure;
    }

    void report(const std::exception& e);
    void reportUnknown();
    void show(const QString& description);

    QString m_window;
    QString m_procedure;
    int m_line = 0;
    bool m_refusalShown = false;
    std::function<QString()> m_suffix;
};

} // namespace shell
