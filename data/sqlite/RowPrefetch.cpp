#include "data/sqlite/RowPrefetch.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <limits>
#include <sqlite3.h>

namespace platform {

namespace {

constexpr size_t kRowsPerBatch = 1024;

// The reading holds its thread until the rows are taken or it is stopped, so it has a
// pool of its own that never makes one recordset's reading wait for another's: the
// user-interface thread may be waiting on it.
QThreadPool* readingPool()
{
    struct Pool : QThreadPool {
        Pool() { setMaxThreadCount(std::numeric_limits<int>::max()); }
    };
    static Pool pool;
    return &pool;
}

} // namespace

void appendRow(sqlite3_stmt* stmt, int columns, RawBatch& batch)
{
    for (int c = 0; c < columns; ++c) {
        sqlite3_value* value = sqlite3_column_value(stmt, c);
        RawCell cell;
        cell.type = sqlite3_value_type(value);
        switch (cell.type) {
        case SQLITE_INTEGER:
            cell.integer = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            cell.real = sqlite3_value_double(value);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const char* data = cell.type == SQLITE_TEXT
                ? reinterpret_cast<const char*>(sqlite3_value_text(value))
                : static_cast<const char*>(sqlite3_value_blob(value));
            cell.length = quint32(sqlite3_value_bytes(value));
            cell.offset = quint32(batch.bytes.size());
            batch.bytes.append(data, qsizetype(cell.length));
            break;
        }
        default:
            break;
        }
        batch.cells.push_back(cell);
    }
    ++batch.rows;
}

RowPrefetch::RowPrefetch(sqlite3_stmt* stmt, int columns)
    : m_stmt(stmt), m_columns(columns)
{
    m_future = QtConcurrent::run(readingPool(), [this](QPromise<void>& promise) { read(promise); });
}

RowPrefetch::~RowPrefetch()
{
    if (m_ended)
        return;
    m_future.cancel();
    m_free.release(int(kSlots));   // a reading thread waiting for room sees the stop
    m_future.waitForFinished();
}

void RowPrefetch::read(QPromise<void>& promise)
{
    // Each batch is filled here, apart from the slots, then waits for a free one: the
    // batches read ahead are the slots' and the one in hand.
    for (size_t next = 0;; next = (next + 1) % kSlots) {
        RawBatch batch;
        batch.cells.reserve(kRowsPerBatch * size_t(m_columns));
        int rc;
        while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
            appendRow(m_stmt, m_columns, batch);
            if (batch.rows == kRowsPerBatch)
                break;
        }
        m_rowsRead.fetchAndAddRelease(qint64(batch.rows));
        const bool last = rc != SQLITE_ROW;
        if (last) {
            m_result = rc;
            if (rc != SQLITE_DONE)
                m_message = QByteArray(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
        }
        m_free.acquire();
        if (promise.isCanceled())
            break;
        m_slots[next] = {std::move(batch), last};
        if (last)
            m_stopped.storeRelease(1);
        m_filled.release();
        if (last)
            return;
    }
    m_stopped.storeRelease(1);
}

bool RowPrefetch::next(RawBatch& batch)
{
    if (m_ended)
        return false;
    m_filled.acquire();
    Slot& slot = m_slots[m_nextSlot];
    m_nextSlot = (m_nextSlot + 1) % kSlots;
    batch = std::exchange(slot.batch, RawBatch());
    m_rowsTaken += qint64(batch.rows);
    if (!slot.last) {
        m_free.release();
        return true;
    }
    m_ended = true;
    m_future.waitForFinished();
    return batch.rows > 0;
}

bool RowPrefetch::waiting() const
{
    return m_stopped.loadAcquire() != 0 || m_filled.available() == int(kSlots);
}

} // namespace platform
