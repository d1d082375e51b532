#pragma once
// What the command line may ask for instead of the window:
//   tallyfold --report-pdf FILE   writes the report of the current ledger to FILE and
//                                 exits, showing no window: for scripts and scheduled jobs.
//   tallyfold --chart balance|months|accounts --chart-file FILE.png|.svg
//                                 draws one chart of the ledger into FILE, likewise.

#include <QString>
#include <optional>

class QCoreApplication;

namespace mainwindow {

// Whether the arguments ask for work that shows no window. Asked before the application
// object exists, so such work can run without a screen.
bool runsWithoutWindows(int argc, char** argv);

// Does what the command line asks for and gives the program's exit status, or nothing
// when the window is to start as usual. A command line it does not understand ends the
// program with a usage message.
std::optional<int> runCommandLine(const QCoreApplication& app);

// The report of the current ledger written to file as "Create/Print Report" makes it,
// with every message the program would show printed on standard error instead. 0 when
// the file was written with no message on the way, 1 otherwise.
int writeReportPdf(const QString& file);

// tallyfold --chart balance|months|accounts --chart-file FILE.png|.svg: the chart of the
// whole ledger drawn into the file, without a window. 0 when written, 1 with the reason
// on standard error otherwise.
int writeChart(const QString& kind, const QString& file);

} // namespace mainwindow
