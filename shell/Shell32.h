#pragma once
// Running another program and waiting for it to end.

#include <QString>
#include <cstdint>
#include <functional>

namespace shell {

// The base of object-defined error numbers: a program that cannot be started makes
// RunAndWait return this plus the error number.
constexpr std::int32_t kObjectError = -2147221504;

// Error numbers RunAndWait adds to kObjectError when it cannot start the program.
enum RunError : std::int32_t {
    kInvalidCall = 5,        // an empty command line, or a file the system would not run
    kFileNotFound = 53,      // no such program, on its path or the search path
    kPermissionDenied = 70,  // the program is there but may not be run (no execute right, a folder)
};

// Starts the program of commandLine and returns its exit code once it has ended.
//
// The command line is split into program and arguments at white space outside double
// quotes, three double quotes standing for one literal quote (QProcess::splitCommand);
// no shell runs it. A program named without a folder is looked up on PATH. The program's standard input is empty and its output goes where
// Tallyfold's own goes, so it can neither wait for an answer nor fill a pipe nobody
// reads.
//
// windowStyle is the show state asked for the program's main window: 0 hidden,
// 1 normal, 2 minimised, 3 maximised, 4 normal without focus, 6 minimised without focus;
// below 0 or above 6 means 6. The desktop offers no way to tell a new program how to
// show its first window, so the style is handed to it in the environment variable
// TALLYFOLD_WINDOW_STYLE and only a program written to read it follows it; for a program
// without windows it means nothing.
//
// While it waits, pending window events run every 100 ms, so the caller's windows keep
// repainting and taking input; it waits at least one such round. The wait is on the
// process itself, so any exit code comes back as it is. A program killed by a signal
// returns 128 + the signal's number, as a shell reports it.
//
// It never throws and shows no message: a program that cannot be started returns
// kObjectError + a RunError at once.
std::int32_t RunAndWait(const QString& commandLine, int windowStyle = 6);

// Called at the end of each of RunAndWait's rounds, its events run and its time slept,
// with whether the program was still running when the round began; none while unset.
// For tests, which check the wait by the rounds that made it rather than by a clock.
void setRoundObserver(std::function<void(bool running)> observer);

// One argument of a command line, quoted so that RunAndWait's splitting gives it back
// as it stands, spaces and quotes included.
QString quoteArgument(const QString& argument);

} // namespace shell
