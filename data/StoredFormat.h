#pragma once
// How Tallyfold keeps its data: the ledger file, its tables and values, the settings
// keys and the names of the files and folders. This is a stored format: a file written
// by one version must open in the next, so change it only with a new kLedgerVersion and
// its migration (see migrate()).
//
//   Accounts.AccountID, Transactions.TransactionNumber  INTEGER PRIMARY KEY AUTOINCREMENT
//   dates (Transactions.TransactionDate, tblReport.Date) TEXT "YYYY-MM-DD", with
//                                                      " HH:MM:SS" only when a time is set
//   amounts                                            REAL, finite (a CHECK), or NULL
//   Transactions.Taxable                               INTEGER 1 or 0 (NULL reads as false)
//   names and descriptions                             TEXT, UTF-8
//
// The tables themselves are data/schema.sql, from which the template is built and to
// which older files are brought (kSchemaSql holds the same text).
//
// The undo history (format 3 on) lies in the same file, so it survives a restart:
//   UndoSteps  one row a step (one user command): StepID (the order), Label (what the
//              menus name it), Undone (1: undone, can be redone), AccountsSequence,
//              TransactionsSequence and ImportKeysSequence (the auto-number counters, sqlite_sequence's seq,
//              before the step; NULL: none yet), then the step's first change, as
//              UndoLog keeps a change, which is Seq 1 (most steps change one row: it
//              is recorded without a page of UndoLog's written too)
//   UndoLog    one row for each further changed ledger row: StepID, Seq (the order
//              within the step, from 2), TableName, RowKey (its AccountID or
//              TransactionNumber), Before and After (1: the row existed before the
//              change / exists after it), B1-B6 and A1-A6 (its values before and after,
//              in the order of kRecordedTables' columns; columns without affinity, so
//              every value keeps its type and every bit)
// The import keys (format 4 on): what each row imported from a bank or card statement is
// known by, so that the same row is never imported twice:
//   ImportKeys  ImportKeyID (its own number), AccountID (the account it was imported
//               into: keys are scoped to it), ImportKey (the text, see below), KeyDate
//               ("YYYY-MM-DD") and KeyCents (the row's date and signed amount in
//               hundredths, as the statement gave them), TransactionNumber (the row
//               it made). A key whose transaction is gone counts no more.
//   ImportKey   "fitid:" + the OFX FITID, "ref:" + the CAMT entry's reference; for CSV
//               and QIF, which name no id, "row:" + a digest of date, amount and
//               description + "#" + the occurrence of that digest within the file's day
//               ("#1", "#2", ...). A bank id matches only with the same date and amount
//               (some banks reuse them).
// The backups: copies of the ledger in the data folder's Backups/, named
// "dbData-YYYY-MM-DD-HHMMSS.mdb" by their local time of making (a "-2", "-3"... before
// ".mdb" when that second is taken), with what the newest one was made from in
// "Backups.ini" (INI text as the settings', capped alike: Backup, Size, Modified,
// Counter, Log, and under [Checked] each backup's name = "size mtime-ms 1|0", the
// verdict of its check). Beside the ledger, "dbData.mdb-lock" (no content) carries the
// lock every copy of the program holds while it has the ledger open (see UseLock).
//
// The names of the files and folders and the settings keys are in
// platform/StoredNames.h, where the platform layer finds them too.

#include "platform/StoredNames.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>

struct sqlite3;

namespace data::stored {

using namespace platform::stored;   // the names of the files, folders and settings keys

// ---- The ledger file
// The format's version, kept in the file's user_version:
//   0  an early file that recorded none
//   1  amounts any REAL
//   2  amounts finite: infinities are refused by the file itself
//   3  the undo history (UndoSteps, UndoLog)
//   4  the import keys (ImportKeys; UndoSteps.ImportKeysSequence)
inline constexpr int kLedgerVersion = 4;
// The tables the program reads and writes. A file without the first two is no ledger.
inline constexpr const char* kAccountsTable = "Accounts";
inline constexpr const char* kTransactionsTable = "Transactions";
inline constexpr const char* kReportTable = "tblReport";
inline constexpr const char* kUndoStepsTable = "UndoSteps";
inline constexpr const char* kUndoLogTable = "UndoLog";
inline constexpr const char* kImportKeysTable = "ImportKeys";

// The tables whose changes the undo history records (tblReport, a scratch table, is
// not; an import is undone with its keys), each with its key and the columns an UndoLog row keeps in B1.../A1...
inline constexpr int kLoggedColumns = 6;
struct RecordedTable {
    const char* name;
    const char* key;
    const char* sequenceColumn;   // UndoSteps' column for its auto-number counter
    int columnCount;
    const char* columns[kLoggedColumns];
};
inline constexpr RecordedTable kRecordedTables[] = {
    {kAccountsTable, "AccountID", "AccountsSequence", 1, {"AccountName"}},
    {kTransactionsTable, "TransactionNumber", "TransactionsSequence", 6,
     {"TransactionDate", "TransactionDescription", "AccountID", "WithdrawalAmount", "DepositAmount", "Taxable"}},
    {kImportKeysTable, "ImportKeyID", "ImportKeysSequence", 5,
     {"AccountID", "ImportKey", "KeyDate", "KeyCents", "TransactionNumber"}},
};

// What an open ledger file holds, read before anything is written to it.
struct FileFacts {
    int version = 0;
    bool isLedger = false;   // has the Accounts and Transactions tables
};

// Reads the version and the tables. Returns SQLite's result code: anything but
// SQLITE_OK leaves facts unset (a damaged file gives SQLITE_CORRUPT or SQLITE_NOTADB).
int inspect(sqlite3* db, FileFacts& facts);

// Brings a ledger of an older version to kLedgerVersion inside one transaction: each
// table is rebuilt from the current schema with every row, number and auto-number
// kept as it was (rows an older version let in are kept even where the current checks
// would refuse them). Returns SQLite's result code and, on failure, its message;
// on failure nothing has changed.
int migrate(sqlite3* db, QString& message);

// ---- Values
enum class ColumnKind { Plain, Date, YesNo };

// The kind of a table's column, by the names SQLite reports as its origin.
ColumnKind kindOf(const char* table, const char* column);

// Date text as stored.
QString dateText(const QDate& date);
QString dateTimeText(const QDateTime& dateTime);

// Reads stored date text: a QDate without time of day, a QDateTime with one; nullopt
// when the text is not in the stored form.
std::optional<QVariant> parseDateText(const char* utf8, int length);

} // namespace data::stored
