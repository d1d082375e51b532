#pragma once
// A report instance: a definition whose formats and captions its user may still set,
// the data source its rows come from, and the ways to show it: the modal preview, a
// PDF file. The rows are read from the data source once, when the report is first
// shown or written.

#include "output/ReportData.h"
#include "output/ReportDefinition.h"

#include <functional>
#include <memory>

class QWidget;

namespace output {

class DataReport {
public:
    explicit DataReport(ReportDefinition definition);
    virtual ~DataReport();
    DataReport(const DataReport&) = delete;
    DataReport& operator=(const DataReport&) = delete;

    ReportSection& Sections(const QString& name) { return m_definition.Sections(name); }

    // The open recordset the rows are read from. It stays its opener's and must stay
    // open until the report has been shown or written.
    void setDataSource(data::Recordset& rs);

    // Shows the pages in the modal preview, owned by owner, and returns once it is
    // closed.
    void showModal(QWidget* owner);
    // Writes every page to a PDF file on the paper of the user's country; throws an
    // AppError saying why when the file cannot be written.
    void writePdf(const QString& path);

    // The rows, read from the data source on first use, calling tick, when given, once
    // a row.
    const ReportRows& rows(const std::function<void()>& tick = {});

private:
    ReportDefinition m_definition;
    std::unique_ptr<ReportDataSource> m_source;
    std::unique_ptr<ReportRows> m_rows;
};

} // namespace output
