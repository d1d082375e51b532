#pragma once
// Reading a query's rows ahead. SQLite steps the next rows on one of Qt's pool threads
// while the user-interface thread turns the rows already read into values, so a reload
// of a large ledger costs about the larger of the two halves instead of their sum. The
// pool's thread only copies each row's raw column bytes into a batch; every Qt value is
// made on the reading thread. The statement's connection belongs to the pool's thread
// while it reads: nothing else touches that connection until it has finished.
//
// The batches pass through a ring of a few slots, handed over by two semaphores (slots
// free, slots filled), which also bounds the memory read ahead.

#include <QAtomicInteger>
#include <QByteArray>
#include <QFuture>
#include <QPromise>
#include <QSemaphore>
#include <array>
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
    // Stops the reading and waits for it.
    ~RowPrefetch();
    RowPrefetch(const RowPrefetch&) = delete;
    RowPrefetch& operator=(const RowPrefetch&) = delete;

    // The next batch, waiting for it when needed; false once the statement has ended
    // and every batch was taken. The reading has finished by then.
    bool next(RawBatch& batch);
    // How the statement ended: SQLITE_DONE, or a failure's code and the database's message.
    int result() const { return m_result; }
    QByteArray message() const { return m_message; }

    // Rows copied out of SQLite and not yet taken; whether the reading can go no further
    // until a batch is taken (every slot is full, or the statement has ended). For tests
    // that check how far it reads ahead.
    qint64 rowsAhead() const { return m_rowsRead.loadAcquire() - m_rowsTaken; }
    bool waiting() const;

private:
    struct Slot {
        RawBatch batch;
        bool last = false;   // the statement ended with this batch
    };
    static constexpr size_t kSlots = 8;

    void read(QPromise<void>& promise);

    sqlite3_stmt* m_stmt;
    int m_columns;
    std::array<Slot, kSlots> m_slots;
    QSemaphore m_free{int(kSlots)};
    QSemaphore m_filled;
    size_t m_nextSlot = 0;       // the reading thread's next slot to take
    bool m_ended = false;        // the last slot was taken
    QAtomicInteger<qint64> m_rowsRead{0};
    QAtomicInteger<int> m_stopped{0};   // the reading thread has returned
    qint64 m_rowsTaken = 0;
    // Written by the reading thread before its last slot is filled; read after it was taken.
    int m_result = 0;
    QByteArray m_message;
    QFuture<void> m_future;
};

} // namespace platform
