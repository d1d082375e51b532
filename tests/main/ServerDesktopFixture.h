#pragma once
// The main window on a ledger kept on the test binary's own PostgreSQL server, as a
// desktop sharing it with others: the other desktops are real processes (the program
// itself, or the copy support/OtherCopy drives), which find the same ledger through
// TALLYFOLD_LEDGER, inherited.

#include "tests/main/MainWindowFixture.h"
#include "tests/support/PgEnvironment.h"

#include <QProcessEnvironment>
#include <string>

class ServerDesktopTest : public MainWindowTest {
protected:
    void SetUp() override;

    // Makes `database` a ledger with the account "Household" (number 1) and has this
    // desktop and the others open it as `conninfo`.
    void useLedger(const QString& conninfo);
    // Adds `count` rows straight on the server: "row 001"... with withdrawals 1, 2...
    void seed(int count) const;
    // The rows of `sql` as the server holds them now ("a|b; c|d"; "" for none).
    std::string server(const QString& sql) const;
    // Waits on the event loop until the list has been filled again after `before`
    // fills; false when that did not happen in a generous time.
    bool reloadedSince(int before) const;
    // The environment a desktop of the program started by the test runs in: this
    // test's folders, no screen.
    QProcessEnvironment desktopEnvironment() const;

    testing_support::ScopedVariable ledgerVariable{"TALLYFOLD_LEDGER"};
    QString database;
    QString conninfo;
};
