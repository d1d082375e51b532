#pragma once
// Reading a query's rows ahead. SQLite steps the next rows on a worker thread while
// the user-interface thread turns the rows already read into values, so a reload of a
// large ledger costs about the larger of the two halves instead of their sum. The
// worker only copies each row's raw column bytes into a batch; every Qt value is made
// on the reading thread. The statement's connection belongs to the worker while it
// runs: nothing else touches that connection until the worker has been joined.

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct sqlite3_stmt;

namespace platform {

// One column of one row, as SQLite stored it.
struct RawCell {
    int type = 0;          // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL
    quint32 length = 0;    // text and blob: byte count at `offset` in the batch's bytes
    union {
        qint64 integer;
        double real;
        quint32 offset;
    };
    RawCell() : integer(0) {}
};

// Rows after rows, each row's columns in order.
struct RawBatch {
    std::vector<RawCell> cells;
    QByteArray bytes;
    size_t rows = 0;
};

// Copies the statement's current row onto the end of batch.
void appendRow(sqlite3_stmt* stmt, int columns, RawBatch& batch);

class RowPrefetch {
public:
    RowPrefetch(sqlite3_stmt* stmt, int columns);
    ~RowPrefetch();
    RowPrefetch(const RowPrefetch&) = delete;
    RowPrefetch& operator=(const RowPrefetch&) = delete;

    // The next batch, waiting for it when needed; false once the statement has ended
    // and every batch was taken. The worker has been joined by then.
    bool next(RawBatch& batch);
    // How the statement ended: SQLITE_DONE, or a failure's code and the database's message.
    int result() const { return m_result; }
    QByteArray message() const { return m_message; }

private:
    void run();
    void stop();

    sqlite3_stmt* m_stmt;
    int m_columns;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<RawBatch> m_queue;
    bool m_stopRequested = false;
    bool m_finished = false;
    // Written by the worker before it ends; read only after it was joined.
    int m_result = 0;
    QByteArray m_message;
    std::thread m_worker;
};

} // namespace platform
