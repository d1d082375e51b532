#pragma once
// The command line's choice of ledger, and its work on whole ledgers:
//   tallyfold --ledger CONNINFO      opens the ledger on a PostgreSQL server that libpq's
//                                    conninfo names (keywords, service=..., or a
//                                    postgresql:// address), now and at every later start;
//                                    --ledger file goes back to the file in the data folder
//   tallyfold --ledger CONNINFO --create-ledger
//                                    makes the empty server database a ledger and exits:
//                                    0 when done or already a ledger, 1 with the reason
//   tallyfold --copy-ledger FROM TO  copies a whole ledger between a file and a server
//                                    (see data/LedgerCopy.h for what FROM and TO name)

#include <QString>
#include <optional>

class QCommandLineParser;

namespace mainwindow {

bool ledgerRunsWithoutWindows(const char* argument);
void addLedgerOptions(QCommandLineParser& parser);
// Takes --ledger for this run (and the next), and does --create-ledger or --copy-ledger
// when given: their exit status, else nothing.
std::optional<int> runLedgerOptions(const QCommandLineParser& parser);

int createServerLedger(const QString& conninfo);

// For every command that writes to the open shared ledger without a window: the check
// the window makes in the background, made now, or waited for when the command started
// it at the opening (data::checkLedgerInBackground) to read meanwhile. Throws FileRefusal
// with the message for a damaged ledger: the command must write nothing.
void requireSoundLedger();
int copyLedgerCommand(const QString& from, const QString& to);

} // namespace mainwindow
