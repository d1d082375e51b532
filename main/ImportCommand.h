#pragma once
// The command line's import, for scripts and scheduled jobs:
//   tallyfold --import FILE --account NAME [--profile NAME]
// imports a bank or card statement into the named account without a window and without
// questions. What a person would be asked (which date order, which CSV columns) refuses
// the import instead. Rows that match a row typed by hand are not added: they count as
// already in the ledger. Prints "N added, M already in the ledger, K not readable" and
// any notes on standard output; exits 0, or 1 with the reason on standard error.

#include <QString>
#include <optional>

class QCommandLineParser;

namespace mainwindow {

// Whether the argument is the import's option (the import shows no window).
bool importRunsWithoutWindows(const char* argument);

// The options, for the command line's parser; and the import when they are given (its
// exit status), else nothing.
void addImportOptions(QCommandLineParser& parser);
std::optional<int> runImportOptions(const QCommandLineParser& parser);

// The import itself. `profile`: the name of a saved CSV mapping, "" for the one last
// used with the file's header (if any); other formats need none and ignore it, so one
// script line serves every file a bank sends.
int importStatementFile(const QString& file, const QString& account, const QString& profile);

} // namespace mainwindow
