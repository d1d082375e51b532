#pragma once
// The ledger as the windows see it, whichever back end keeps it: one connection and
// forward-reading recordsets with the small ADO-like surface the windows use (Open,
// Execute, State, Close; Open, eof, MoveNext, Fields, Close), statements in the Jet
// dialect. Which back end serves a connection follows from its connection string and
// nothing else: the windows never ask. What one back end cannot offer (file backups on
// a server) is a capability it reports.
//
// Two back ends live below this surface, each in a folder of its own:
//   data/sqlite    the ledger file in the data folder (the default)
//   data/postgres  a ledger on a PostgreSQL server, shared live by several desktops
// Each implements Backend, Rows and (when it keeps an undo history) History.

#include "data/HistoryStep.h"
#include "data/LedgerProblem.h"

#include <QString>
#include <QStringView>
#include <QVariant>
#include <memory>
#include <optional>

namespace data {

// An undo or redo refused because a row the step touched has been changed since by
// something the history did not record.
class UndoConflict : public platform::DbError {
public:
    // Who changed the row, as far as the history can tell.
    enum class ChangedBy {
        AnotherProgram,   // nothing the history knows (on a server: no desktop's step)
        AnotherCopy,      // on a file: another copy of the program or another program
        Desktop,          // on a server: the desktop desktop() names, by a step of its own
    };

    UndoConflict(const QString& label, const QString& table, qint64 key, bool redo,
                 ChangedBy by = ChangedBy::AnotherProgram, const QString& desktop = {})
        : DbError(QStringLiteral("%1 %2 has changed since \"%3\"").arg(table).arg(key).arg(label))
        , m_label(label), m_table(table), m_key(key), m_redo(redo), m_by(by), m_desktop(desktop)
    {
    }
    QString label() const { return m_label; }
    QString table() const { return m_table; }   // "Accounts" or "Transactions"
    qint64 key() const { return m_key; }
    bool redo() const { return m_redo; }
    ChangedBy changedBy() const { return m_by; }
    QString desktop() const { return m_desktop; }   // "<role>@<host>/<user>" when by a desktop

private:
    QString m_label, m_table;
    qint64 m_key;
    bool m_redo;
    ChangedBy m_by;
    QString m_desktop;
};

// The undo history a back end keeps (see data/Undo.h for how the commands use it).
class History {
public:
    struct Step {
        qint64 id = 0;
        QString label;
        // After undo() or redo(): a transaction the step changed (its first), for the
        // list to show; nullopt when it changed none, or the history cannot tell.
        std::optional<qint64> transaction = std::nullopt;
    };

    virtual ~History() = default;
    // The changes made between begin() and end() form one step called `label`. Nested
    // steps join the outermost one. Never throws: a step that cannot be recorded is
    // left out of the history, and its changes are made all the same.
    virtual void begin(const QString& label) = 0;
    virtual void end() = 0;
    // The step undo() or redo() would act on next; nullopt when there is none.
    virtual std::optional<Step> nextUndo() = 0;
    virtual std::optional<Step> nextRedo() = 0;
    // Undoes the newest step not yet undone, or redoes the oldest undone one, and answers
    // it (nullopt: there was none). Throws FileRefusal on a ledger the program must not
    // write, UndoConflict (above) when a row the step touched has changed
    // since, or DbError; nothing has changed then.
    virtual std::optional<Step> undo() = 0;
    virtual std::optional<Step> redo() = 0;
};

// An open query's rows, as they were when it was opened, read front to back.
class Rows {
public:
    virtual ~Rows() = default;
    virtual bool eof() const = 0;
    virtual void next() = 0;
    // The column of that name, matched without regard to case (the first of that name
    // wins); -1 when there is none.
    virtual int column(QStringView name) const = 0;
    // The current row's value: an invalid QVariant for Null, a QDate (QDateTime with a
    // time of day) for a date, a bool for yes/no, otherwise qlonglong, double or QString.
    virtual QVariant value(int column) const = 0;
};

// What a back end offers beyond the statements.
struct Capabilities {
    bool fileBackups = true;    // start-up backups of the ledger file, and restoring one
    bool liveChanges = false;   // tells of others' commits as they happen (Owner::othersChanged)
};

// One back end's connection to its ledger.
class Backend {
public:
    virtual ~Backend() = default;
    // Opens the ledger the connection string names; throws FileRefusal for one it will
    // not use. A damaged ledger opens read-only, its owner told.
    virtual void open(const QString& connectionString) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    virtual long long execute(const QString& jetSql) = 0;
    virtual std::unique_ptr<Rows> query(const QString& jetSql) = 0;
    // The number the next row added to `table` gets (Accounts, Transactions, ImportKeys),
    // the table held so that nothing else numbers a row before the caller's transaction
    // commits.
    virtual qint64 nextKey(const QString& table) = 0;
    // Sets the number the next row added to `table` gets (never below what the rows in
    // it already take): for a copy of a ledger, whose counters go with it.
    virtual void setNextKey(const QString& table, qint64 next) = 0;
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;
    virtual platform::FileProblem problem() const = 0;
    virtual QString problemMessage() const = 0;
    virtual void setOwner(platform::ConnectionOwner owner) = 0;
    virtual void checkInBackground() {}
    // The same check made now, its damage handled before it returns (a server checks its
    // own files: nothing to do).
    virtual void checkNow() {}
    // Tells the owner now (othersChanged) of others' commits it has not yet told of, for a
    // back end that only looks from time to time.
    virtual void catchUpWithOthers() {}
    // The undo history it keeps; nullptr when it keeps none.
    virtual History* history() = 0;
    // That history whole, every desktop's steps, oldest first: for a copy of the ledger.
    virtual std::vector<HistoryStep> exportHistory() = 0;
    // Adds those steps to the history, newest last, inside the caller's transaction, as
    // the steps of a ledger whose rows have just been copied in; a step it cannot keep
    // throws DbError (the caller rolls back: no step is ever half there).
    virtual void importHistory(const std::vector<HistoryStep>& steps) = 0;
    virtual Capabilities capabilities() const = 0;
    // What the window's caption names the ledger by: "" for the file in the data folder,
    // "<database> on <host>" for a server ledger.
    virtual QString title() const = 0;
};

// The connection string for the ledger file at `path`.
QString fileConnectionString(const QString& path);
// Whether a connection string names a ledger on a server (see serverConnectionString).
bool isServerConnectionString(const QString& connectionString);
// The connection string for a server ledger: libpq's own conninfo (keywords, a
// "service=" or a postgresql:// address).
QString serverConnectionString(const QString& conninfo);
QString conninfoOf(const QString& serverConnectionString);

class Recordset;

// The one connection the windows share (see Ledger.h), over whichever back end its
// connection string names.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    enum { adStateClosed = 0, adStateOpen = 1 };

    using Owner = platform::ConnectionOwner;
    void setOwner(Owner owner);

    // "provider=microsoft.jet.oledb.4.0;data source=<file>;..." opens a ledger file;
    // serverConnectionString(...) a server ledger.
    void Open(const QString& connectionString);
    long long Execute(const QString& jetSql);
    qint64 nextKey(const QString& table) { return open().nextKey(table); }
    void setNextKey(const QString& table, qint64 next) { open().setNextKey(table, next); }
    int State() const { return m_backend && m_backend->isOpen() ? adStateOpen : adStateClosed; }
    void Close();

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;

    platform::FileProblem problem() const;
    QString problemMessage() const;
    void checkInBackground();
    void checkNow();
    void catchUpWithOthers()
    {
        if (m_backend && m_backend->isOpen())
            m_backend->catchUpWithOthers();
    }
    History* history() { return m_backend ? m_backend->history() : nullptr; }
    Capabilities capabilities() const { return m_backend ? m_backend->capabilities() : Capabilities{}; }
    QString title() const { return m_backend ? m_backend->title() : QString(); }

    // The back end open now, for what only it can do (tests, the ledger copy).
    Backend* backend() { return m_backend.get(); }

private:
    friend class Recordset;
    // The back end, open or not; throws as a closed connection does when there is none.
    Backend& open() const;
    // The same for a statement: a back end that refused its ledger told the user why at
    // the opening, and whatever is asked of it afterwards is refused with those words,
    // quietly for a read (`reading`), as a damaged ledger's is.
    Backend& usable(bool reading) const;

    std::unique_ptr<Backend> m_backend;
    bool m_server = false;   // m_backend is a server's
    Owner m_owner;
};

class Field {
public:
    QVariant Value() const;

private:
    friend class Recordset;
    Field(const Rows* rows, int column) : m_rows(rows), m_column(column) {}
    const Rows* m_rows;
    int m_column;
};

// A read-only, static view of a query's rows as they were when it was opened.
class Recordset {
public:
    enum { adOpenStatic = 3, adLockReadOnly = 1 };

    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void Open(const QString& jetSql, Connection& connection, int cursorType = adOpenStatic,
              int lockType = adLockReadOnly);
    bool eof() const;
    void MoveNext();
    // Field by name, matched without regard to case; the first column of that name wins.
    Field Fields(QStringView name) const;
    void Close();
    bool isOpen() const { return m_rows != nullptr; }

private:
    const Rows& rows() const;
    std::unique_ptr<Rows> m_rows;
};

} // namespace data
