#pragma once
// The command line's import, for scripts and scheduled jobs:
//   tallyfold --import FILE --account NAME [--create-account] [--profile NAME] [--force]
// imports a bank or card statement into the named account without a window and without
// questions. A file of several accounts' statements names an account for each
// (--account ID=NAME, once per account id). An account that is not there is refused with
// the list of accounts, unless --create-account makes it. A statement most of whose rows
// are already in another account is refused unless --force. What a person would be asked (which date order, which CSV columns) refuses
// the import instead. Rows that match a row typed by hand are not added: they count as
// already in the ledger. Prints "N added, M already in the ledger, K not readable" and
// any notes on standard output; exits 0, or 1 with the reason on standard error.

#include <QString>
#include <QStringList>
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

struct ImportRequest {
    QString file;
    QStringList accounts;        // each --account: "NAME", or "ID=NAME" for the account ID
    QString profile;
    bool createAccounts = false; // make the accounts that are not there
    bool force = false;          // import what is already in another account all the same
};
int importStatementFile(const ImportRequest& request);

} // namespace mainwindow
