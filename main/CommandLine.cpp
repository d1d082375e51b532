#include "main/CommandLine.h"

#include "data/Ledger.h"
#include "main/Form1.h"
#include "shell/Desktop.h"
#include "shell/Dialogs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace mainwindow {

namespace {

const char* const kReportPdf = "report-pdf";

// Message boxes with nobody to answer them: each is printed on standard error and
// answered as its default button would be; every question is cancelled.
class ConsoleDialogs : public platform::Dialogs {
public:
    int MsgBox(const QString& prompt, int style, const QString&) override
    {
        print(prompt);
        return (style & 0x7) == platform::vbYesNo ? platform::vbNo : platform::vbOK;
    }
    QString InputBox(const QString& prompt, const QString&, const QString&) override
    {
        print(prompt);
        return {};
    }
    int shown() const { return m_shown; }

private:
    void print(QString text)
    {
        ++m_shown;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        std::fprintf(stderr, "tallyfold: %s\n", qPrintable(text));
    }
    int m_shown = 0;
};

// A desktop that opens nothing: work without windows starts no other program either.
class ClosedDesktop : public platform::Desktop {
public:
    bool open(const QUrl&) override { return false; }
    bool canOpen(const QString&, const QStringList&) override { return false; }
};

} // namespace

bool runsWithoutWindows(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report-pdf") == 0 || std::strncmp(argv[i], "--report-pdf=", 13) == 0)
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
    parser.process(app);
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
