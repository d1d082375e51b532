#pragma once
// Where a report's rows come from, and the rows themselves once read. A report reads
// its data source once, front to back, into compact memory; paging and drawing then
// reach any row directly, so a page is drawn without reading the rows before it again.

#include "data/Connection.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

namespace output {

// A report's data source: rows read front to back, fields found by name.
class ReportDataSource {
public:
    virtual ~ReportDataSource() = default;
    // The column a field name binds, matched without regard to case; throws when the
    // source has no such field.
    virtual int bind(const QString& field) = 0;
    virtual bool atEnd() = 0;
    virtual QVariant value(int column) = 0;
    virtual void next() = 0;
};

// An open recordset as a report's data source. The recordset stays its opener's.
class RecordsetSource : public ReportDataSource {
public:
    explicit RecordsetSource(data::Recordset& rs) : m_rs(rs) {}
    int bind(const QString& field) override;
    bool atEnd() override { return m_rs.eof(); }
    QVariant value(int column) override { return m_fields[size_t(column)].Value(); }
    void next() override { m_rs.MoveNext(); }

private:
    data::Recordset& m_rs;
    std::vector<data::Field> m_fields;
};

// The rows a report prints: the bound fields of every row, and the sum of each field.
// Text is kept as UTF-8 and every value in a 16-byte cell: a row of the ledger report
// takes about a hundred bytes.
class ReportRows {
public:
    ReportRows() = default;
    // Reads every row of source for these fields. tick, when given, is called after
    // every row, so a caller can keep its windows painting.
    ReportRows(ReportDataSource& source, const std::vector<QString>& fields, const std::function<void()>& tick = {});

    qsizetype count() const { return m_rows; }
    // The position of a field among those read, matched without regard to case; -1 when
    // it was not read.
    int fieldIndex(const QString& name) const;
    // A value as read: an invalid QVariant for Null, else a double, QDate, QDateTime or
    // QString.
    QVariant value(qsizetype row, int field) const;
    // The sum of a field over every row: numbers, and texts that read as numbers; Null
    // and anything else count as nothing. Added up when first asked for.
    double sum(int field) const;

private:
    enum Kind : quint8 { Null, Number, Date, DateTime, Text };
    struct Cell {
        Kind kind = Null;
        quint32 length = 0;   // Text: bytes at `offset` in m_text
        union {
            double number;
            qint64 integer;   // Date: Julian day; DateTime: milliseconds since 1970 (UTC)
            quint64 offset;
        };
        Cell() : number(0) {}
    };
    void append(const QVariant& value);

    std::vector<QString> m_fields;
    std::vector<Cell> m_cells;   // row after row, each with its fields in order
    QByteArray m_text;
    mutable std::vector<std::optional<double>> m_sums;
    qsizetype m_rows = 0;
};

} // namespace output
