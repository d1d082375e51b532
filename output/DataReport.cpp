#include "output/DataReport.h"

#include "output/ReportDocument.h"
#include "output/ReportOutput.h"
#include "output/ReportPreview.h"
#include "platform/AppError.h"

namespace output {

DataReport::DataReport(ReportDefinition definition) : m_definition(std::move(definition)) {}

DataReport::~DataReport() = default;

void DataReport::setDataSource(data::Recordset& rs)
{
    m_source = std::make_unique<RecordsetSource>(rs);
    m_rows.reset();
}

const ReportRows& DataReport::rows(const std::function<void()>& tick)
{
    if (!m_rows) {
        if (!m_source)
            throw platform::AppError(QStringLiteral("Data source not set"));
        m_rows = std::make_unique<ReportRows>(*m_source, m_definition.boundFields(), tick);
    }
    return *m_rows;
}

void DataReport::showModal(QWidget* owner)
{
    ReportPreview preview(m_definition, rows(), owner);
    preview.exec();
}

void DataReport::writePdf(const QString& path)
{
    const ReportDocument document(m_definition, rows(), localePageSize());
    output::writePdf(document, path, m_definition.title);
}

} // namespace output
