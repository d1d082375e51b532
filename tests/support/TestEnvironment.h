#pragma once
// A fresh, throw-away world for one test: a data folder (XDG_DATA_HOME), a settings
// file (XDG_CONFIG_HOME), a home folder (HOME, so Documents is its own) and a program
// folder holding the template database, all in one temporary folder removed
// afterwards. It needs the platform layer alone; LedgerEnvironment adds the program's
// shared connection on top.

#include "tests/support/QtPrinters.h"

#include <QString>
#include <QTemporaryDir>
#include <string>
#include <gtest/gtest.h>

namespace testing_support {

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString root() const { return m_dir.path(); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString programFolder() const { return m_dir.path() + QStringLiteral("/program"); }
    QString documents() const { return m_dir.path() + QStringLiteral("/Documents"); }
    QString workingDatabase() const;
    // The connection string that opens the working file.
    QString connectionString() const;

    // Puts the built program's side file `name` (icon256.gif, HAND-M.CUR) into the
    // program folder.
    void addSideFile(const QString& name) const;
    // Writes a file of the program folder, making the folders above it.
    void writeProgramFile(const QString& relativePath, const QByteArray& content) const;
    // Writes `bytes` into the file `name` of the test's root folder; gives its path.
    QString writeFile(const QString& name, const QByteArray& bytes) const;

    // Unless a working file is there already, copies the template into the data
    // folder and opens and closes it once, leaving it as a first start would.
    void placeLedger();
    // Places the ledger and, while a program holds it open (so that it stays in its
    // write-ahead-log form), adds the account `account` and `transactions` rows to it:
    // "row 1", "row 2"... with withdrawals 1, 2...
    void seedLedger(const QString& account, int transactions);
    // Runs SQL straight on the working file through a separate SQLite handle, for
    // setting up rows the program itself would never write.
    void sqlite(const QString& sql) const;
    // Adds rows straight to the working file and gives their keys. `values` is the SQL
    // list of TransactionDate, TransactionDescription, AccountID, WithdrawalAmount,
    // DepositAmount, Taxable.
    qint64 addAccount(const QString& name) const;
    qint64 addTransaction(const QString& values) const;
    // The rows of a query on the working file, read through a separate handle:
    // values joined by "|", rows by "; ", Null as "NULL".
    std::string rows(const QString& sql) const { return rowsOf(workingDatabase(), sql); }
    // The same on any ledger file.
    static std::string rowsOf(const QString& file, const QString& sql);

    // What a run of a program ended with: its exit code (-1 when it crashed), and what
    // it printed.
    struct Run {
        int status = -1;
        QString out;
        QString errors;
    };
    // Runs `program` as a script would, in this world and without a screen (no display
    // of any kind, no Qt platform asked for), in the en_US.UTF-8 locale; `more` adds or
    // replaces variables ("NAME=value").
    Run runWithoutScreen(const QString& program, const QStringList& arguments, const QStringList& more = {}) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldData, m_oldConfig, m_oldHome;
};

// A file's SHA-256, empty when it cannot be read: proves a file was left unchanged.
QByteArray fileHash(const QString& path);

// One environment variable, set for a test and put back as it was afterwards.
class ScopedVariable {
public:
    explicit ScopedVariable(const char* name);
    ~ScopedVariable();
    // nullptr removes the variable.
    void set(const char* value);

private:
    const char* m_name;
    QByteArray m_was;
    bool m_wasSet;
};

// Damages a database file the way a failing disk does: page `page` (1-based) filled
// with zeros.
void zeroPage(const QString& path, int page);

} // namespace testing_support
