#pragma once
// The ledger file, its folder and the one shared connection every window uses.

#include "data/Connection.h"

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

namespace platform { class StatementTrap; }

namespace data {

// Every transaction with its account's name, in the order the database returns them: a
// transaction whose account is gone is left out. The list and the report read this.
inline const QString kLedgerQuery =
    QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID");

// "<common application data>/Marlowick/Tallyfold", asked afresh on every call.
QString dataFolder();
QString workingDatabasePath();
// The empty template beside the program.
QString templatePath();
// The connection string the shared connection is opened with: the ledger file's, or
// the chosen server ledger's.
QString connectionString();

// Which ledger the program opens: "" for the file in the data folder, else a server
// ledger's libpq conninfo. Chosen for this run by chooseLedger() (the command line's
// --ledger), else by the environment variable TALLYFOLD_LEDGER, else by the settings'
// "Ledger", which chooseLedger(.., true) keeps for the next start once that ledger has
// opened, without any secret the conninfo holds (a text libpq cannot read is never
// kept). "file" anywhere means the file.
QString ledgerChoice();
void chooseLedger(const QString& choice, bool keep);
// Whether the chosen ledger is on a server.
bool serverLedgerChosen();
// The program does its work without windows (a command) and so runs no event loop: what
// the loop would do later for the shared connection (settle a commit whose answer a lost
// server never gave) is done at once.
void setRunsWithoutEventLoop(bool without);

// Makes the data folder and copies the template into it when there is no working
// file yet, as statements 100-110 of the start-up, each under the caller's trap.
// A folder counts as present when any entry of its name is: a plain file in its place
// is not made again, and what would go below it then fails and is reported. A working
// file of no bytes holds no data and counts as missing; any other existing working
// file is never touched.
void prepareDataFolder(platform::StatementTrap& trap);

// The shared connection. create() makes it (closed), release() closes and drops it;
// connection() throws "Object variable or With block variable not set" when there is
// none, like any use of a released object. The connection tells the user of a damaged
// ledger file once, through tellUser() (texts: LedgerMessages).
void createConnection();
void releaseConnection();
bool hasConnection();
Connection& connection();
// The shared connection's undo history; nullptr while there is no connection.
History* connectionHistory();

// How the ledger layer tells the user what it found by itself (a damaged file, a
// backup that failed, an undo history that cannot be kept): the program shows it in a
// message box. Unset, nobody is told.
void setUserTeller(std::function<void(const QString& message)> tell);
void tellUser(const QString& message);
// How it asks: a yes-or-no question (unset: no), and a password (unset: none).
void setUserAsker(std::function<bool(const QString& question)> ask,
                  std::function<std::optional<QString>(const QString& prompt)> password);

// Runs before an older ledger file is brought up to the current stored format, while
// the file is still exactly as it was: backs it up (see Backups.h; a failure is told
// once and does not stop the opening). Every schema change and migration passes here
// first.
void beforeMigration(const QString& ledgerFile, int fromVersion);

// What is wrong with the ledger file (FileProblem::None while nothing is, or before
// the connection was opened), and the note the main window shows for it.
platform::FileProblem ledgerProblem();
QString ledgerProblemNote();
// What the caption names the open ledger by: "" for the file in the data folder,
// " - <database> on <host>" for a server ledger.
QString ledgerTitleNote();
QString ledgerProblemMessage();
// Runs `listener` whenever ledgerProblem() changes; one listener at a time.
void setLedgerProblemListener(std::function<void()> listener);
// Runs `listener` when someone else has changed the ledger (another desktop on a server
// ledger), or it came back after the server was away; one listener at a time.
void setOthersChangedListener(std::function<void()> listener);
// Starts the full check of the open ledger in the background (see Connection).
void checkLedgerInBackground();

} // namespace data
