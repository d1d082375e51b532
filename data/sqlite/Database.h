#pragma once
// The ledger database layer: one connection and forward-reading recordsets over an
// SQLite file, offering the small ADO-like surface the windows use (Open, Execute,
// State, Close; Open, eof, MoveNext, Fields, Close). Statements arrive in the Jet
// dialect and are translated by JetSql before SQLite sees them.
//
// Writes and reads keep apart. The connection writes through one SQLite connection, in
// SQLite's write-ahead log with a full sync on every commit. Each recordset reads on a
// connection of its own, taken from a small pool the connection keeps, and sees the
// file as it was when the recordset was opened: a write while it is open neither waits
// for it nor disturbs it, and shows in the next recordset opened. A recordset opened
// while a transaction (BeginTrans) is pending reads the committed data, without that
// transaction's changes. Where the file system cannot keep a write-ahead log (no
// shared memory, as on some network shares) the file keeps a rollback journal, still
// fully synced, and a recordset copies its rows when it opens instead.
//
// A damaged file is never written again. Whenever SQLite finds damage (opening, in any
// statement or query, or in the full check run in the background) the connection turns
// read-only for good: reads go on as far as they can, every write is refused. A file
// that is no ledger, or of a newer format, is refused untouched.

#include "data/LedgerProblem.h"

#include "data/sqlite/RowPrefetch.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace data::stored {
struct FileFacts;
}

namespace platform {

class IntegrityCheck;
class UseLock;
namespace jet {
class ValuesInsert;
}

class Recordset;

// Hears of what a connection writes. The layer above keeps its undo history this way:
// the connection itself knows nothing of one. Its members run on the thread that
// writes; beforeWrite() and written() may throw, which fails the statement.
class WriteObserver {
public:
    virtual ~WriteObserver() = default;
    // The file has been opened for writing on `writer`, SQLite's own handle (whose
    // hooks an observer may use), or is about to close.
    virtual void opened(sqlite3* writer) = 0;
    virtual void closing() = 0;
    // Before a statement that writes, given its SQLite text: whether the observer
    // takes part in it. If it does, written() follows once the statement has run (what
    // the observer began with it commits then), or abandoned() when it failed.
    virtual bool beforeWrite(const char* sql) = 0;
    virtual void written() = 0;
    virtual void abandoned() noexcept = 0;
};

// The one connection to the ledger file. A statement that returns has been committed
// with a full sync; another program holding the file makes a statement wait a few
// seconds before it fails with "database is locked". While open, the connection holds
// the file's UseLock shared, so a restore in another copy of the program sees it; and
// every commit first makes sure the file it writes still is the one at the file's
// path (FileProblem::Replaced when another took its place).
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    enum { adStateClosed = 0, adStateOpen = 1 };

    // How the owner hears of the file (see ConnectionOwner).
    using Owner = ConnectionOwner;
    void setOwner(Owner owner) { m_owner = std::move(owner); }

    // Takes "provider=microsoft.jet.oledb.4.0;data source=<file>;...". The file must
    // exist and be a ledger database; nothing is created. An older ledger is brought up
    // to date first. Throws FileRefusal for a file it will not use; a damaged file opens
    // read-only (and the owner is told).
    void Open(const QString& connectionString);
    // Runs one statement that returns no rows; gives the number of rows it changed.
    // An insert of plain values (see jet::ValuesInsert) runs on a statement prepared
    // once for its shape, with the values bound: the rows and any failure are those
    // of the statement as written, without SQLite reading each one anew.
    long long Execute(const QString& jetSql);
    int State() const { return m_db ? adStateOpen : adStateClosed; }
    // Closes every recordset still open, then the file. The write-ahead log is folded in
    // as far as that takes no waiting for another connection's read or write; the last
    // connection to close folds the rest, so the file then holds everything by itself.
    // Everything is closed even when folding fails, which then throws DbError.
    void Close();

    // Groups the statements that follow into one transaction: they commit together
    // at CommitTrans, or none of them does after RollbackTrans. Recordsets opened
    // meanwhile read the committed data. RollbackTrans without a pending transaction
    // does nothing (damage found during a transaction has rolled it back already).
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    // Whether a transaction is pending: a failed statement inside one may have ended it
    // (a full disk does), or only undone itself (a refused row).
    bool InTransaction() const;

    FileProblem problem() const { return m_problem; }
    // The message writes are refused with, "" while there is no problem.
    QString problemMessage() const { return m_problemMessage; }
    // Whether the file keeps a write-ahead log (false: a rollback journal, see above).
    bool writeAheadLog() const { return m_wal; }

    // The one observer of this connection's writes (not owned; nullptr: none). Set on
    // an open connection, it hears at once that the file is open.
    void setObserver(WriteObserver* observer);

    // Throws the error for a failed SQLite call on this connection's file; damage turns
    // the connection read-only first. `writing`: the call was a write, whose refusal
    // the user must see. For those that run statements of their own on the writer.
    [[noreturn]] void fail(int result, const QString& message, bool writing);

    // Whether another connection (another copy of the program, the command line, another
    // program) has committed to the file since this one opened or last asked: SQLite's
    // data version, which this connection's own commits leave as it is. Never waits: while
    // another holds the file, or a transaction of this one is pending, it answers no for
    // now and tells at a later call.
    bool othersCommitted();

    // Starts SQLite's full check of the file on a connection of its own, on Qt's thread
    // pool. Damage it finds is handled like any other, on this thread's event loop;
    // Close ends the check early and drops what it found.
    void checkInBackground();
    bool checking() const;
    // The same check, made now (or the one under way, waited for): damage it finds is
    // handled (and told) before it returns, so that work without windows never writes to
    // a damaged file.
    void checkNow();

private:
    friend class Recordset;
    void attach(Recordset* rs);
    void detach(Recordset* rs);
    sqlite3* openHandle(const QByteArray& file, int flags);
    // The steps of Open: the file named, opened for writing (or read as it stands where
    // it cannot be written) and its facts read, refused or brought up to date, its
    // journal chosen. A failed step closes the connection and throws.
    static QString fileOf(const QString& connectionString);
    int openWriter(data::stored::FileFacts& facts, bool& alone, QString& readOnly);
    void startWriting(QString readOnly);
    int bringUpToDate(const data::stored::FileFacts& facts, QString& message);
    void keepJournal(bool alone);
    [[noreturn]] void failOpening(const QString& message);
    void openReadOnly();
    [[noreturn]] void refuse(FileProblem problem, const QString& detail);
    void setProblem(FileProblem problem, const QString& detail);
    void stopWriting();
    void damaged(const QString& detail, bool tell);
    // Runs before every commit: refuses it when the file was replaced meanwhile.
    static int beforeCommit(void* connection);
    bool sameFile() const;
    sqlite3* takeReader();
    void giveBack(sqlite3* reader);
    // The prepared statement for an insert of plain values, its values bound; nullptr
    // for any other statement, or one SQLite refuses (which then fails the ordinary way).
    sqlite3_stmt* boundInsert(const QString& jetSql);
    // Steps a prepared statement to its end; a kept one is reset for its next use.
    long long run(sqlite3_stmt* stmt, bool kept);
    void forgetInserts();
    void checked(int result, const QString& problem);

    sqlite3* m_db = nullptr;
    QString m_path;
    // The file opened, as its path named it then (device and inode).
    quint64 m_device = 0;
    quint64 m_inode = 0;
    bool m_replaced = false;   // a commit was refused for it
    std::unique_ptr<UseLock> m_use;
    QByteArray m_readerUri;
    bool m_wal = false;
    std::vector<sqlite3*> m_idleReaders;
    struct PreparedInsert {
        QByteArray head;
        QByteArray kinds;
        sqlite3_stmt* stmt;
    };
    // The inserts of plain values prepared so far, the last used first.
    std::vector<PreparedInsert> m_inserts;
    std::unique_ptr<jet::ValuesInsert> m_insert;   // the one being read, its buffers kept
    std::vector<Recordset*> m_open;
    FileProblem m_problem = FileProblem::None;
    QString m_problemMessage;
    Owner m_owner;
    std::unique_ptr<IntegrityCheck> m_check;
    WriteObserver* m_observer = nullptr;
    std::optional<qint64> m_seenVersion;   // the data version othersCommitted() last read
};

// One column of the current record. Value() is an invalid QVariant for Null, a
// QDate (or QDateTime when a time of day is stored) for a date column, a bool for a
// yes/no column, and otherwise qlonglong, double or QString as stored.
class Field {
public:
    QVariant Value() const;
private:
    friend class Recordset;
    Field(const Recordset* rs, int column) : m_rs(rs), m_column(column) {}
    const Recordset* m_rs;
    int m_column;
};

// A read-only, static view of a query's rows as they were when it was opened, read
// front to back. The first rows are stepped from SQLite as they are read; past those,
// a pool thread reads ahead on the recordset's own connection (see RowPrefetch).
class Recordset {
public:
    enum { adOpenStatic = 3, adLockReadOnly = 1 };

    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void Open(const QString& jetSql, Connection& connection,
              int cursorType = adOpenStatic, int lockType = adLockReadOnly);
    bool eof() const;
    void MoveNext();
    // Field by name, matched without regard to case; the first column of that name
    // wins (a join's "AccountID" is the first table's).
    Field Fields(QStringView name) const;
    void Close();
    bool isOpen() const { return m_open; }
    // The same by number: the column of that name (-1: none), and its current value.
    int column(QStringView name) const;
    QVariant valueAt(int column) const { return value(column); }

    // The rows copied out of SQLite ahead of the current one, and whether that copying
    // has stopped for now (its slots are full, or the query has ended). For tests that
    // check a large read stays bounded and a write beside it copies nothing.
    struct ReadAhead {
        qint64 rows = 0;
        bool waiting = true;
    };
    ReadAhead readAhead() const;

private:
    friend class Field;
    friend class Connection;
    enum class Kind : unsigned char { Plain, Date, YesNo };

    // A stored value as the windows see it: the one conversion for rows read
    // directly from the statement and rows read ahead.
    static QVariant toValue(Kind kind, int type, qint64 integer, double real, const char* data, int length);
    QVariant value(int column) const;
    QVariant readStatementColumn(int column) const;
    void requireCurrentRecord() const;
    void step();
    bool takeBatch();
    void holdCurrentRow();
    void copyRest();
    void finishStatement();
    void release();
    [[noreturn]] void fail(int result, const QString& message);
    int columns() const { return int(m_names.size()); }

    Connection* m_connection = nullptr;
    sqlite3* m_reader = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_open = false;
    bool m_eof = true;
    std::vector<QString> m_names;
    std::vector<Kind> m_kinds;
    // Rows already copied out of SQLite: the batch the current row is in (when
    // m_onBatch), and whole batches after it.
    RawBatch m_batch;
    size_t m_batchRow = 0;
    bool m_onBatch = false;
    std::deque<RawBatch> m_pending;
    std::unique_ptr<RowPrefetch> m_prefetch;
    size_t m_rowsStepped = 0;
    // A failure met while copying ahead: raised when the rows before it run out.
    int m_failure = 0;
    QString m_failureMessage;
};

// The file a ledger file's connection string names ("data source"), and its provider
// when asked for. A folder may itself hold a ";": a piece that starts with no known key
// belongs to the value before it.
QString dataSourceOf(const QString& connectionString, QString* provider = nullptr);

// The number SQLite reads from a numeric literal's text ("12.5", "1e-07"), which for a
// few long texts differs from the nearest double by a unit in the last place; nullopt
// when the text is no number literal.
std::optional<double> literalValue(const QString& text);

} // namespace platform
