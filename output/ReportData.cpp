#include "output/ReportData.h"

#include "platform/Conversions.h"

#include <QDateTime>

namespace output {

int RecordsetSource::bind(const QString& field)
{
    m_fields.push_back(m_rs.Fields(field));   // throws for a field the query lacks
    return int(m_fields.size()) - 1;
}

ReportRows::ReportRows(ReportDataSource& source, const std::vector<QString>& fields, const std::function<void()>& tick)
    : m_fields(fields), m_sums(fields.size())
{
    std::vector<int> columns;
    for (const QString& field : fields)
        columns.push_back(source.bind(field));
    while (!source.atEnd()) {
        for (const int column : columns)
            append(source.value(column));
        ++m_rows;
        if (tick)
            tick();
        source.next();
    }
    m_cells.shrink_to_fit();
    m_text.squeeze();
}

void ReportRows::append(const QVariant& value)
{
    Cell cell;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        break;
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong:
    case QMetaType::Int:
        cell.kind = Number;
        cell.number = value.toDouble();
        break;
    case QMetaType::QDate:
        cell.kind = Date;
        cell.integer = value.toDate().toJulianDay();
        break;
    case QMetaType::QDateTime:
        cell.kind = DateTime;
        cell.integer = value.toDateTime().toMSecsSinceEpoch();
        break;
    default: {
        const QString text = platform::valueText(value);
        const QByteArray utf8 = text.toUtf8();
        cell.kind = Text;
        cell.offset = quint64(m_text.size());
        cell.length = quint32(utf8.size());
        m_text.append(utf8);
        break;
    }
    }
    m_cells.push_back(cell);
}

double ReportRows::sum(int field) const
{
    std::optional<double>& sum = m_sums.at(size_t(field));
    if (!sum) {
        sum = 0.0;
        const size_t fields = m_fields.size();
        for (size_t at = size_t(field); at < m_cells.size(); at += fields) {
            const Cell& cell = m_cells[at];
            if (cell.kind == Number) {
                *sum += cell.number;
            } else if (cell.kind == Text) {
                if (const auto number = platform::parseNumber(QString::fromUtf8(m_text.constData() + cell.offset, cell.length)))
                    *sum += *number;
            }
        }
    }
    return *sum;
}

int ReportRows::fieldIndex(const QString& name) const
{
    for (size_t f = 0; f < m_fields.size(); ++f) {
        if (m_fields[f].compare(name, Qt::CaseInsensitive) == 0)
            return int(f);
    }
    return -1;
}

QVariant ReportRows::value(qsizetype row, int field) const
{
    const Cell& cell = m_cells.at(size_t(row) * m_fields.size() + size_t(field));
    switch (cell.kind) {
    case Number: return cell.number;
    case Date: return QDate::fromJulianDay(cell.integer);
    case DateTime: return QDateTime::fromMSecsSinceEpoch(cell.integer, Qt::UTC);
    case Text: return QString::fromUtf8(m_text.constData() + cell.offset, cell.length);
    case Null: break;
    }
    return {};
}

} // namespace output
