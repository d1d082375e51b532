#pragma once
// Reading a query's rows ahead. SQLite steps the next rows on a worker thread while
// the user-interface thread turns the rows already read into values, so a reload of a
// large ledger costs about the larger of the two halves instead of their sum. The
// worker only copies each row's raw column bytes into a batch; every Qt value is made
// on the reading thread. The worker is the statement's only user while it runs;
// stop() hands the statement back, positioned after the last row delivered.

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

    // The next batch, waiting for it when needed; false once the worker has ended
    // (finished or stopped) and every batch was taken.
    bool next(RawBatch& batch);
    // Ends the worker after the row it is reading; batches not yet taken stay queued.
    void stop();
    std::deque<RawBatch> takeQueued();
    // Whether the worker reached the statement's end, and whether that end was a
    // failure (with the database's message).
    bool finished() const;
    bool failed() const;
    QByteArray message() const;

private:
    void run();

    sqlite3_stmt* m_stmt;
    int m_columns;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<RawBatch> m_queue;
    bool m_stopRequested = false;
    bool m_finished = false;
    bool m_failed = false;
    QByteArray m_message;
    std::thread m_worker;
};

} // namespace platform
