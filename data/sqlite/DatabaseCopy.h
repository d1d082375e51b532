#pragma once
// Whole database files copied and checked through SQLite itself, for the ledger's
// backups and their restoring.

#include "data/sqlite/Database.h"

#include <QString>
#include <initializer_list>
#include <optional>

namespace platform {

// A copy that failed. sourceDamaged: SQLite found the file being copied damaged.
class CopyError : public DbError {
public:
    CopyError(const QString& message, bool sourceDamaged) : DbError(message), m_sourceDamaged(sourceDamaged) {}
    bool sourceDamaged() const { return m_sourceDamaged; }

private:
    bool m_sourceDamaged;
};

// Copies the database `from` into the new file `to` with SQLite's online backup: one
// consistent state of it, including what a write-ahead log beside it holds, while
// other connections may go on reading and writing. The copy is one plain file (a
// rollback journal, no log), synced to the disk. `from` is only read. Throws CopyError;
// `to` may then be left half-written.
void copyDatabase(const QString& from, const QString& to);

// SQLite's quick check of a database file: "" when it finds it sound, otherwise the
// first problem it reports (or why the file could not be read).
QString quickCheck(const QString& path);

// What keeps a database file from being taken for the ledger: checked as the ledger is
// when the connection opens it (the ledger's tables, a format this version reads), and
// with SQLite's quick check (FileProblem::Damaged). None: a sound ledger. detail: the
// database's own words, or the newer format's number.
struct LedgerCheck {
    FileProblem problem = FileProblem::None;
    QString detail;
};
LedgerCheck checkLedger(const QString& path);

// How many rows `table` of the database file holds; nullopt when it cannot be read.
std::optional<long long> countRows(const QString& path, const char* table);

// Whether any of `tables` of the database file holds a row; nullopt when one of them
// cannot be read.
std::optional<bool> anyRows(const QString& path, std::initializer_list<const char*> tables);

} // namespace platform
