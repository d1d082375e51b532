#pragma once
// The statements of the undo history, on the ledger's writer connection. Used by
// UndoHistory's own files only.

#include "data/UndoHistory.h"

#include <sqlite3.h>

namespace data {

// What the history's own files name throughout: the back end's connection and errors,
// the tables it records.
using FileConnection = platform::Connection;
using platform::DbError;
using platform::FileProblem;
using platform::FileRefusal;
using stored::RecordedTable;
using stored::kRecordedTables;

// One statement on the writer; a failure goes through the connection, which turns a
// damaged file read-only before anything is thrown.
class UndoStatement {
public:
    UndoStatement(UndoHistory& history, const QString& sql, bool writing = true)
        : m_history(history), m_writing(writing)
    {
        const QByteArray text = sql.toUtf8();
        check(sqlite3_prepare_v2(m_history.m_db, text.constData(), int(text.size()), &m_stmt, nullptr));
    }
    ~UndoStatement() { sqlite3_finalize(m_stmt); }
    UndoStatement(const UndoStatement&) = delete;
    UndoStatement& operator=(const UndoStatement&) = delete;

    UndoStatement& bind(int index, qint64 value)
    {
        check(sqlite3_bind_int64(m_stmt, index, value));
        return *this;
    }
    UndoStatement& bind(int index, const char* text)
    {
        check(sqlite3_bind_text(m_stmt, index, text, -1, SQLITE_STATIC));
        return *this;
    }
    UndoStatement& bind(int index, const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        check(sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
        return *this;
    }
    UndoStatement& bind(int index, const std::optional<qint64>& value)
    {
        check(value ? sqlite3_bind_int64(m_stmt, index, *value) : sqlite3_bind_null(m_stmt, index));
        return *this;
    }
    UndoStatement& bind(int index, sqlite3_value* value)
    {
        check(sqlite3_bind_value(m_stmt, index, value));
        return *this;
    }
    UndoStatement& bindReal(int index, double value)
    {
        check(sqlite3_bind_double(m_stmt, index, value));
        return *this;
    }
    // A text's UTF-8 bytes or a blob's, which must stay in place until the statement
    // has run (or failed).
    UndoStatement& bindBytes(int index, const char* bytes, int size, bool text)
    {
        check(text ? sqlite3_bind_text(m_stmt, index, bytes, size, SQLITE_STATIC)
                   : sqlite3_bind_blob(m_stmt, index, bytes, size, SQLITE_STATIC));
        return *this;
    }
    // True while there is a row; at the end the statement is ready to run again.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail(rc);
        sqlite3_reset(m_stmt);
        return false;
    }
    void run()
    {
        while (step()) {
        }
        sqlite3_clear_bindings(m_stmt);
    }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    sqlite3_value* value(int column) const { return sqlite3_column_value(m_stmt, column); }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)));
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            fail(rc);
    }
    [[noreturn]] void fail(int rc)
    {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_history.m_db));
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);   // nothing of this use is left for the next
        m_history.fail(rc, message, m_writing);
    }

    UndoHistory& m_history;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_writing;
};

} // namespace data
