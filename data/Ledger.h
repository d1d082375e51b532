#pragma once
// The ledger file, its folder and the one shared connection every window uses.

#include "platform/Database.h"

#include <QDate>
#include <QString>

namespace shell { class ErrorTrap; }

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
// An existing working file is never touched.
void prepareDataFolder(shell::ErrorTrap& trap);

// The shared connection. create() makes it (closed), release() closes and drops it;
// connection() throws "Object variable or With block variable not set" when there is
// none, like any use of a released object.
void createConnection();
void releaseConnection();
bool hasConnection();
platform::Connection& connection();

} // namespace data
