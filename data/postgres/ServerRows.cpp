#include "data/postgres/ServerRows.h"

#include <QDate>
#include <QDateTime>
#include <charconv>
#include <libpq-fe.h>

namespace data::postgres {

namespace {

// Rows a fetch: enough that a large list costs few round trips, few enough that a
// million-row list never lies in memory whole.
constexpr int kBatchRows = 20000;
constexpr size_t kIdleReaders = 4;

// The types' oids, fixed by the server (pg_type.dat).
enum : unsigned {
    kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
    kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184, kNumeric = 1700,
};

int digits(const char* text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS", as the server writes dates in ISO style; a
// date beyond those (before year 1000, after 9999, BC) goes the slow way. A time of day
// is read as the file's are: a wall-clock time, in UTC so no zone moves it.
QVariant dateValue(const char* text, int length)
{
    if (length == 10 || length == 19) {
        const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
        if (date.isValid() && length == 10)
            return date;
        const QTime time(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
        if (date.isValid() && time.isValid())
            return time == QTime(0, 0) ? QVariant(date) : QVariant(QDateTime(date, time, Qt::UTC));
    }
    QDateTime parsed = QDateTime::fromString(QString::fromLatin1(text, length).replace(u' ', u'T'), Qt::ISODate);
    if (!parsed.isValid())
        return QString::fromUtf8(text, length);
    if (parsed.time() == QTime(0, 0))
        return parsed.date();
    return QDateTime(parsed.date(), parsed.time(), Qt::UTC);
}

QVariant integerValue(const char* text, int length)
{
    qlonglong value = 0;
    const auto [end, error] = std::from_chars(text, text + length, value);
    if (error != std::errc() || end != text + length)
        return QString::fromUtf8(text, length);
    return value;
}

// The server writes the shortest text that reads back as the same number
// (extra_float_digits 1); read without the user's locale, whose decimal comma would
// stop at the point.
QVariant realValue(const char* text, int length)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text, text + length, value);
    if (error != std::errc() || end != text + length)
        return QString::fromUtf8(text, length);
    return value;
}

std::vector<QString> namesOf(const PGresult* result)
{
    std::vector<QString> names;
    for (int c = 0; c < PQnfields(result); ++c)
        names.push_back(QString::fromUtf8(PQfname(result, c)));
    return names;
}

int columnNamed(const std::vector<QString>& names, QStringView name)
{
    for (size_t c = 0; c < names.size(); ++c) {
        if (QStringView(names[c]).compare(name, Qt::CaseInsensitive) == 0)
            return int(c);
    }
    return -1;
}

QVariant valueAt(const PGresult* result, int row, int column)
{
    // A yes/no left empty reads as No, as the ledger file has always read it.
    if (PQgetisnull(result, row, column))
        return PQftype(result, column) == kBool ? QVariant(false) : QVariant();
    return valueOf(PQftype(result, column), PQgetvalue(result, row, column), PQgetlength(result, row, column));
}

bool succeeded(const PGresult* result)
{
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

class CursorRows final : public Rows {
public:
    CursorRows(std::shared_ptr<ReaderPool> pool, PgConnection reader)
        : m_pool(std::move(pool)), m_reader(std::move(reader))
    {
    }

    ~CursorRows() override
    {
        if (!m_reader)
            return;
        // Left before its end: the fetch under way is read and dropped, the
        // transaction (and with it the cursor) ended, the reader idle again.
        pg_conn* c = m_reader.get();
        while (PGresult* pending = PQgetResult(c))
            PQclear(pending);
        PGresult* ended = PQexec(c, "rollback");
        const bool idle = succeeded(ended) && PQtransactionStatus(c) == PQTRANS_IDLE;
        PQclear(ended);
        if (idle)
            m_pool->giveBack(std::move(m_reader));
    }

    void open(const QByteArray& sql)
    {
        run("begin isolation level repeatable read read only");
        run("declare tallyfold_rows no scroll cursor for " + sql);
        take(run("fetch forward " + QByteArray::number(kBatchRows) + " from tallyfold_rows"));
    }

    bool eof() const override { return m_row >= m_rows && !m_fetching; }

    void next() override
    {
        if (eof())
            throw platform::DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                   "deleted. Requested operation requires a current record."));
        if (++m_row < m_rows || !m_fetching)
            return;
        awaitAnswer(m_reader.get());
        PGresult* got = PQgetResult(m_reader.get());
        Result batch(got);
        while (PGresult* rest = PQgetResult(m_reader.get()))
            PQclear(rest);
        m_fetching = false;
        if (!got || !succeeded(got))
            fail(got);
        take(std::move(batch));
    }

    int column(QStringView name) const override { return columnNamed(m_names, name); }

    QVariant value(int column) const override
    {
        if (m_row >= m_rows)
            throw platform::DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                   "deleted. Requested operation requires a current record."));
        return m_values[size_t(m_row) * m_names.size() + size_t(column)];
    }

private:
    Result run(const QByteArray& sql)
    {
        pg_conn* c = m_reader.get();
        Result result(PQsendQueryParams(c, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0) ? answerOf(c)
                                                                                                      : nullptr);
        if (!succeeded(result.get()))
            fail(result.get());
        return result;
    }

    [[noreturn]] void fail(const PGresult* result)
    {
        const QString message = errorOf(m_reader.get(), result);
        if (PQstatus(m_reader.get()) == CONNECTION_BAD) {
            m_reader.reset();
            m_fetching = false;
            m_rows = 0;
            m_pool->lost(message);
        }
        throw platform::DbError(message);
    }

    // Makes a fetched batch the rows read next, asking for the one after it first so
    // that the server reads on while these are converted.
    void take(Result batch)
    {
        const PGresult* result = batch.get();
        if (m_names.empty())
            m_names = namesOf(result);
        m_rows = PQntuples(result);
        m_row = 0;
        if (m_rows == kBatchRows) {
            const QByteArray fetch = "fetch forward " + QByteArray::number(kBatchRows) + " from tallyfold_rows";
            if (PQsendQueryParams(m_reader.get(), fetch.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
                fail(nullptr);
            m_fetching = true;
        }
        const int columns = PQnfields(result);
        m_values.clear();
        m_values.reserve(size_t(m_rows) * size_t(columns));
        for (int r = 0; r < m_rows; ++r) {
            for (int c = 0; c < columns; ++c)
                m_values.push_back(valueAt(result, r, c));
        }
        if (!m_fetching)
            finish();
    }

    // Every row fetched: the reader is free for the next query at once.
    void finish()
    {
        PGresult* ended = PQexec(m_reader.get(), "commit");
        const bool idle = succeeded(ended);
        PQclear(ended);
        if (idle)
            m_pool->giveBack(std::move(m_reader));
        else
            m_reader.reset();
    }

    std::shared_ptr<ReaderPool> m_pool;
    PgConnection m_reader;
    std::vector<QString> m_names;
    std::vector<QVariant> m_values;   // the batch, row after row
    int m_rows = 0;
    int m_row = 0;
    bool m_fetching = false;   // the next batch has been asked for
};

class ResultRows final : public Rows {
public:
    explicit ResultRows(Result result)
        : m_result(std::move(result)), m_names(namesOf(m_result.get())), m_rows(m_result.rows())
    {
    }
    bool eof() const override { return m_row >= m_rows; }
    void next() override
    {
        if (eof())
            throw platform::DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                   "deleted. Requested operation requires a current record."));
        ++m_row;
    }
    int column(QStringView name) const override { return columnNamed(m_names, name); }
    QVariant value(int column) const override
    {
        if (eof())
            throw platform::DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                   "deleted. Requested operation requires a current record."));
        return valueAt(m_result.get(), m_row, column);
    }

private:
    Result m_result;
    std::vector<QString> m_names;
    int m_rows;
    int m_row = 0;
};

} // namespace

PgConnection ReaderPool::take()
{
    if (!m_idle.empty()) {
        PgConnection reader = std::move(m_idle.back());
        m_idle.pop_back();
        if (PQstatus(reader.get()) == CONNECTION_OK)
            return reader;
        m_idle.clear();
    }
    try {
        return connectTo(m_conninfo);
    } catch (const platform::DbError& e) {
        lost(QString::fromUtf8(e.what()));
    }
}

void ReaderPool::lost(const QString& detail)
{
    if (!m_lost)
        throw platform::DbError(detail);
    throw platform::FileRefusal(m_lost(detail), true);
}

void ReaderPool::giveBack(PgConnection reader)
{
    if (!m_closed && m_idle.size() < kIdleReaders && PQstatus(reader.get()) == CONNECTION_OK)
        m_idle.push_back(std::move(reader));
}

void ReaderPool::close()
{
    m_closed = true;
    m_lost = nullptr;
    m_idle.clear();
}

std::unique_ptr<Rows> cursorRows(const std::shared_ptr<ReaderPool>& pool, const QByteArray& sql)
{
    auto rows = std::make_unique<CursorRows>(pool, pool->take());
    rows->open(sql);
    return rows;
}

std::unique_ptr<Rows> resultRows(Result result)
{
    return std::make_unique<ResultRows>(std::move(result));
}

QVariant valueOf(unsigned type, const char* text, int length)
{
    switch (type) {
    case kBool:
        return length > 0 && text[0] == 't';
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return integerValue(text, length);
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return realValue(text, length);
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return dateValue(text, length);
    default:
        return QString::fromUtf8(text, length);
    }
}

} // namespace data::postgres
