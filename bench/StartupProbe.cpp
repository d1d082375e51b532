// tallyfold-startup-probe: the program's own start (main.cpp's steps, the same
// libraries), up to the main window shown with its list filled, then a line on
// standard output (the rows and the processor time of every thread so far), then the
// window closed as a user closes it. The bench times it from outside,
// from the process's start to that line (see StartupBench.h).
#include "main/CommandLine.h"
#include "main/Form1.h"

#include <QApplication>
#include <cstdio>
#include <ctime>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    mainwindow::describeApplication();
    QApplication::setDesktopFileName(QStringLiteral("com.marlowick.Tallyfold"));
    if (const auto status = mainwindow::runCommandLine(app))
        return *status;
    mainwindow::Form1 form1;
    if (!form1.Form_Load())
        return 1;
    form1.show();
    QApplication::processEvents();   // the first paint of the filled list
    timespec cpu {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);   // every thread's, the read-ahead's included
    std::printf("filled %d %.1f\n", form1.ListView1->count(), cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6);
    std::fflush(stdout);
    // Closed as the program closes it, so that the next start finds the ledger as a
    // user's next start would (unchanged: no backup).
    form1.close();
    return 0;
}
