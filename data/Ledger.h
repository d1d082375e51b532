#pragma once
// The ledger file, its folder and the one shared connection every window uses.

#include "data/Connection.h"

#include <QDate>
#include <QString>
#include <functional>

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
// The connection string the shared connection is opened with.
QString connectionString();

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

// Runs before an older ledger file is brought up to the current stored format, while
// the file is still exactly as it was: backs it up (see Backups.h; a failure is told
// once and does not stop the opening). Every schema change and migration passes here
// first.
void beforeMigration(const QString& ledgerFile, int fromVersion);

// What is wrong with the ledger file (FileProblem::None while nothing is, or before
// the connection was opened), and the note the main window shows for it.
platform::FileProblem ledgerProblem();
QString ledgerProblemNote();
QString ledgerProblemMessage();
// Runs `listener` whenever ledgerProblem() changes; one listener at a time.
void setLedgerProblemListener(std::function<void()> listener);
// Starts the full check of the open ledger in the background (see Connection).
void checkLedgerInBackground();

} // namespace data
