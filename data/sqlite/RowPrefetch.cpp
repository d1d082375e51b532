#include "data/sqlite/RowPrefetch.h"

#include <sqlite3.h>

namespace platform {

namespace {
constexpr size_t kRowsPerBatch = 1024;
constexpr size_t kBatchesAhead = 8;   // bounds the memory read ahead
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
    : m_stmt(stmt), m_columns(columns), m_worker([this] { run(); })
{
}

RowPrefetch::~RowPrefetch()
{
    stop();
}

void RowPrefetch::run()
{
    auto fresh = [this] {
        RawBatch batch;
        batch.cells.reserve(kRowsPerBatch * size_t(m_columns));
        return batch;
    };
    RawBatch batch = fresh();
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopRequested || m_queue.size() < kBatchesAhead; });
            if (m_stopRequested) {
                if (batch.rows > 0)
                    m_queue.push_back(std::move(batch));
                m_changed.notify_all();
                return;
            }
        }
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW) {
            appendRow(m_stmt, m_columns, batch);
            if (batch.rows < kRowsPerBatch)
                continue;
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::exchange(batch, fresh()));
            m_changed.notify_all();
            continue;
        }
        m_result = rc;
        if (rc != SQLITE_DONE)
            m_message = QByteArray(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
        std::lock_guard lock(m_mutex);
        if (batch.rows > 0)
            m_queue.push_back(std::move(batch));
        m_finished = true;
        m_changed.notify_all();
        return;
    }
}

bool RowPrefetch::next(RawBatch& batch)
{
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_queue.empty() || m_finished; });
        if (!m_queue.empty()) {
            batch = std::move(m_queue.front());
            m_queue.pop_front();
            m_changed.notify_all();
            return true;
        }
    }
    if (m_worker.joinable())
        m_worker.join();
    return false;
}

void RowPrefetch::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

} // namespace platform
