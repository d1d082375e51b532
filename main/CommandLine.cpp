#include "main/CommandLine.h"

#include "data/Ledger.h"
#include "main/ConsoleDialogs.h"
#include "main/Form1.h"
#include "main/ImportCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace mainwindow {

namespace {

const char* const kReportPdf = "report-pdf";

} // namespace

bool runsWithoutWindows(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report-pdf") == 0 || std::strncmp(argv[i], "--report-pdf=", 13) == 0)
            return true;
        if (importRunsWithoutWindows(argv[i]))
            return true;
    }
    return false;
}

std::optional<int> runCommandLine(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tallyfold, a ledger for a household or a small business."));
    parser.addHelpOption();
    parser.addOption({QString::fromLatin1(kReportPdf),
                      QStringLiteral("Writes the report of the ledger to <file> as PDF and exits, showing no window."),
                      QStringLiteral("file")});
    addImportOptions(parser);
    parser.process(app);
    if (const auto status = runImportOptions(parser))
        return status;
    if (parser.isSet(QString::fromLatin1(kReportPdf)))
        return writeReportPdf(parser.value(QString::fromLatin1(kReportPdf)));
    return std::nullopt;
}

int writeReportPdf(const QString& file)
{
    ConsoleDialogs console;
    ClosedDesktop desktop;
    platform::Dialogs::setCurrent(&console);
    platform::Desktop::setCurrent(&desktop);
    const QString path = QFileInfo(file).absoluteFilePath();
    {
        Form1 form1;
        if (form1.Form_Load())
            form1.ReportToPdf(path);
    }
    data::releaseConnection();
    platform::Desktop::setCurrent(nullptr);
    platform::Dialogs::setCurrent(nullptr);
    if (console.shown() > 0 || !QFileInfo(path).isFile()) {
        std::fprintf(stderr, "tallyfold: the report was not written to %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

} // namespace mainwindow
