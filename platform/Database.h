#pragma once
// The ledger database layer: one connection and forward-reading recordsets over an
// SQLite file, offering the small ADO-like surface the windows use (Open, Execute,
// State, Close; Open, eof, MoveNext, Fields, Close). Statements arrive in the Jet
// dialect and are translated by JetSql before SQLite sees them.

#include "platform/AppError.h"

#include "platform/RowPrefetch.h"

#include <QString>
#include <QVariant>
#include <deque>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

// A failing statement or query. what() is the database's own message (UTF-8).
class DbError : public AppError {
public:
    using AppError::AppError;
};

class Recordset;

// The one connection to the ledger file. A statement that returns has been committed
// with a full sync; another program holding the file makes a statement wait a few
// seconds before it fails with "database is locked".
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    enum { adStateClosed = 0, adStateOpen = 1 };

    // Takes "provider=microsoft.jet.oledb.4.0;data source=<file>;...". The file must
    // exist and be a ledger database; nothing is created.
    void Open(const QString& connectionString);
    // Runs one statement that returns no rows; gives the number of rows it changed.
    long long Execute(const QString& jetSql);
    int State() const { return m_db ? adStateOpen : adStateClosed; }
    void Close();

    // Groups the statements that follow into one transaction: they commit together
    // at CommitTrans, or none of them does after RollbackTrans.
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    sqlite3* handle() const { return m_db; }

private:
    friend class Recordset;
    void attach(Recordset* rs);
    void detach(Recordset* rs);
    void snapshotOpenRecordsets();
    void pauseOpenRecordsets();

    sqlite3* m_db = nullptr;
    std::vector<Recordset*> m_open;
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

// A read-only, static view of a query's rows, read front to back. The first rows are
// stepped from SQLite as they are read; past those, a worker thread reads ahead (see
// RowPrefetch) and is paused whenever the connection is used for anything else. When
// the same connection executes a change while a recordset is open, the remaining rows
// are copied first, so the change commits at once and the recordset still shows the
// rows as they were when it was opened.
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
    void finishStatement();
    void pause();
    void snapshot();
    void release();
    int columns() const { return int(m_names.size()); }

    Connection* m_connection = nullptr;
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
    // A read-ahead that failed: reported when the rows before the failure run out.
    QString m_failure;
};

} // namespace platform
