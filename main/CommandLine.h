#pragma once
// What the command line may ask for instead of the window:
//   tallyfold --report-pdf FILE   writes the report of the current ledger to FILE and
//                                 exits, showing no window: for scripts and scheduled jobs.
//   tallyfold --help, --version   print the options, or the name and version, and exit;
//                                 neither needs a screen.
//   tallyfold --chart balance|months|accounts --chart-file FILE.png|.svg
//                                 draws one chart of the ledger into FILE, likewise.

#include <QString>
#include <QStringList>
#include <optional>

class QCoreApplication;

namespace mainwindow {

// The application's name, maker and version, as every message and the settings use them.
void describeApplication();

// Answers --help and --version (and an option nobody knows, given with them) before any
// window library is started, so they work without a screen: the exit status, or nothing
// when the arguments ask for neither.
std::optional<int> answerHelpOrVersion(int argc, char** argv);

// Whether the arguments ask for work that shows no window. Asked before the application
// object exists, so such work can run without a screen.
bool runsWithoutWindows(int argc, char** argv);

// For work without windows, which prints its own messages only: Qt's notes and warnings
// (a session without XDG_RUNTIME_DIR, as cron gives) are dropped, its critical
// messages kept.
void keepQtQuiet();

// Does what the command line asks for and gives the program's exit status, or nothing
// when the window is to start as usual. A command line it does not understand ends the
// program with a usage message.
std::optional<int> runCommandLine(const QCoreApplication& app);

// The report of the current ledger written to file as "Create/Print Report" makes it,
// with every message the program would show printed on standard error instead. 0 when
// the file was written with no message on the way, 1 otherwise. The report is made in a
// temporary file beside file and takes file's place only when all went well, so a run
// that gives 1 leaves file as it was, or absent. Only a new path or a regular file is
// written: a named pipe, a device or a folder is refused (1) and left alone.
int writeReportPdf(const QString& file);

// tallyfold FILE...: the statement files named without an option (as absolute paths),
// each opened in the Import Statement window once the main window is up.
QStringList statementFilesToOpen(const QStringList& arguments);

// tallyfold --chart balance|months|accounts --chart-file FILE.png|.svg: the chart of the
// whole ledger drawn into the file, without a window. 0 when written, 1 with the reason
// on standard error otherwise.
int writeChart(const QString& kind, const QString& file);

} // namespace mainwindow
