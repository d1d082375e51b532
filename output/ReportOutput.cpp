#include "output/ReportOutput.h"

#include "platform/AppError.h"

#include <QFileInfo>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace output {

namespace {

constexpr int kTwipsPerInch = 1440;

// Draws the pages in order, each on a new page of the device after the first.
bool paintPages(QPainter& painter, const ReportDocument& document, const std::vector<int>& pages,
                const std::function<void()>& newPage, const PageProgress& progress)
{
    for (size_t i = 0; i < pages.size(); ++i) {
        if (progress && !progress(int(i), int(pages.size())))
            return false;
        if (i > 0)
            newPage();
        document.paintPage(painter, pages[i]);
    }
    return true;
}

std::vector<int> allPages(const ReportDocument& document)
{
    std::vector<int> pages(size_t(document.pageCount()));
    for (int i = 0; i < document.pageCount(); ++i)
        pages[size_t(i)] = i;
    return pages;
}

} // namespace

bool writePdf(const ReportDocument& document, const QString& path, const QString& title, const PageProgress& progress)
{
    // A pipe or a device would be replaced by a regular file: only a new path or a
    // regular file takes a report.
    if (const QFileInfo existing(path); existing.exists() && !existing.isFile())
        throw platform::AppError(QStringLiteral("%1 is not a regular file").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::AppError(file.errorString());
    QPdfWriter writer(&file);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Tallyfold"));
    writer.setPageSize(document.pageSize());
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(kTwipsPerInch);   // one device unit is one twip
    QPainter painter;
    if (!painter.begin(&writer))
        throw platform::AppError(QStringLiteral("The PDF file could not be started."));
    painter.setRenderHint(QPainter::Antialiasing);
    const bool finished = paintPages(painter, document, allPages(document), [&] { writer.newPage(); }, progress);
    painter.end();
    if (!finished) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw platform::AppError(file.errorString());
    return true;
}

bool printReport(const ReportDefinition& definition, const ReportRows& rows, QPrinter& printer,
                 const PageProgress& progress)
{
    // Laid out again for the paper chosen in the print dialog; margins are the report's.
    printer.setFullPage(true);
    const ReportDocument document(definition, rows, printer.pageLayout().pageSize());
    std::vector<int> pages;
    const QPageRanges ranges = printer.pageRanges();
    for (int page = 0; page < document.pageCount(); ++page) {
        if (ranges.isEmpty() || ranges.contains(page + 1))
            pages.push_back(page);
    }
    if (printer.pageOrder() == QPrinter::LastPageFirst)
        std::reverse(pages.begin(), pages.end());
    QPainter painter;
    if (!painter.begin(&printer))
        throw platform::AppError(QStringLiteral("The printer could not be started."));
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = double(printer.resolution()) / kTwipsPerInch;
    painter.scale(scale, scale);
    const bool finished = paintPages(painter, document, pages, [&] { printer.newPage(); }, progress);
    if (!finished)
        printer.abort();
    painter.end();
    return finished;
}

} // namespace output
