#include "main/CommandLine.h"

#include "data/Ledger.h"
#include "main/ConsoleDialogs.h"
#include "main/Form1.h"
#include "main/ImportCommand.h"
#include "main/LedgerCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace mainwindow {

namespace {

const char* const kReportPdf = "report-pdf";
const char* const kChart = "chart";
const char* const kChartFile = "chart-file";

void addChartOptions(QCommandLineParser& parser)
{
    parser.addOption({QString::fromLatin1(kChart),
                      QStringLiteral("Draws the chart <name> (balance, months or accounts) of the ledger into the "
                                     "file of --chart-file and exits, showing no window."),
                      QStringLiteral("name")});
    parser.addOption({QString::fromLatin1(kChartFile),
                      QStringLiteral("The .png or .svg file --chart writes, or .csv for its figures."),
                      QStringLiteral("file")});
}

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("Tallyfold, a ledger for a household or a small business."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QString::fromLatin1(kReportPdf),
                      QStringLiteral("Writes the report of the ledger to <file> as PDF and exits, showing no window."),
                      QStringLiteral("file")});
    addChartOptions(parser);
    addImportOptions(parser);
    addLedgerOptions(parser);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Bank or card statements to import, each shown in the Import Statement "
                                                "window once the main window is up."),
                                 QStringLiteral("[file...]"));
}

bool isArgument(const char* argument, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (std::strcmp(argument, name) == 0)
            return true;
    }
    return false;
}

// The report's file as the run was asked for it: a path that names nothing yet, or a
// regular file (through any links). Anything else would be replaced by a regular file
// or written into without end.
bool isWritableTarget(const QString& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(QFile::encodeName(path).constData(), error);
    return status.type() == std::filesystem::file_type::not_found || status.type() == std::filesystem::file_type::regular;
}

// The permissions the report would have had written in place: those of the file it
// replaces, or the ones a new file gets, rather than the draft's private ones.
void keepPermissions(const QString& draft, const QString& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::perms perms = fs::status(QFile::encodeName(path).constData(), error).permissions();
    if (error || perms == fs::perms::unknown) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        perms = fs::perms(0666 & ~mask);
    }
    fs::permissions(QFile::encodeName(draft).constData(), perms, error);
}

// How many of the messages printed tell of a failure. That the ledger can only be read
// (a login role that may only read, a folder that cannot be written) is told, but work
// that only reads goes on as it should. Asked while the ledger is still open.
int failuresOf(const ConsoleDialogs& console)
{
    int failures = console.shown();
    if (data::ledgerProblem() == platform::FileProblem::ReadOnly
        && console.messages().contains(data::ledgerProblemMessage()))
        --failures;
    return failures;
}

// Where a report written to `path` lands: a symbolic link's target (through every link
// of a chain), so that the link stays as it was and the file it names gets the report.
QString throughLinks(const QString& path)
{
    namespace fs = std::filesystem;
    fs::path at(QFile::encodeName(path).constData());
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(at, error)); ++hops) {
        const fs::path target = fs::read_symlink(at, error);
        if (error)
            break;
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    return QFileInfo(QFile::decodeName(at.lexically_normal().c_str())).absoluteFilePath();
}

} // namespace

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tallyfold"));
    QCoreApplication::setOrganizationName(QStringLiteral("Marlowick"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALLYFOLD_VERSION));
}

std::optional<int> answerHelpOrVersion(int argc, char** argv)
{
    bool asked = false;
    for (int i = 1; i < argc && !asked; ++i)
        asked = isArgument(argv[i], {"--help", "-h", "-?", "--help-all", "--version", "-v"});
    if (!asked)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    describeApplication();
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);   // prints the help or the version and ends the program
    return 0;
}

void keepQtQuiet()
{
    static QtMessageHandler qtOwn = nullptr;
    qtOwn = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if ((type == QtCriticalMsg || type == QtFatalMsg) && qtOwn)
            qtOwn(type, context, message);
    });
}

bool runsWithoutWindows(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report-pdf") == 0 || std::strncmp(argv[i], "--report-pdf=", 13) == 0)
            return true;
        if (std::strcmp(argv[i], "--chart") == 0 || std::strncmp(argv[i], "--chart=", 8) == 0)
            return true;
        if (importRunsWithoutWindows(argv[i]) || ledgerRunsWithoutWindows(argv[i]))
            return true;
    }
    return false;
}

std::optional<int> runCommandLine(const QCoreApplication& app)
{
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);
    // The ledger first: what follows works on the one chosen.
    if (const auto status = runLedgerOptions(parser))
        return status;
    if (const auto status = runImportOptions(parser))
        return status;
    if (parser.isSet(QString::fromLatin1(kReportPdf)))
        return writeReportPdf(parser.value(QString::fromLatin1(kReportPdf)));
    if (parser.isSet(QString::fromLatin1(kChart)) || parser.isSet(QString::fromLatin1(kChartFile)))
        return writeChart(parser.value(QString::fromLatin1(kChart)), parser.value(QString::fromLatin1(kChartFile)));
    return std::nullopt;
}

QStringList statementFilesToOpen(const QStringList& arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments))
        return {};
    QStringList files;
    for (const QString& file : parser.positionalArguments())
        files << QFileInfo(file).absoluteFilePath();
    return files;
}

int writeReportPdf(const QString& file)
{
    const QString path = throughLinks(QFileInfo(file).absoluteFilePath());
    auto notWritten = [&] {
        std::fprintf(stderr, "tallyfold: the report was not written to %s\n", qPrintable(path));
        return 1;
    };
    if (!isWritableTarget(path)) {
        std::fprintf(stderr,
                     "tallyfold: %s is not a regular file: a report is written only to a new file or over a "
                     "regular one\n",
                     qPrintable(path));
        return notWritten();
    }
    // A name of our own beside the file, on the same file system, so the finished
    // report takes the file's place in one rename. Failing that (no such folder), the
    // report's own run says why with the file's name.
    QTemporaryFile draft(QFileInfo(path).absolutePath() + QStringLiteral("/.tallyfold-report-XXXXXX.pdf"));
    const QString target = draft.open() ? draft.fileName() : path;
    draft.close();
    if (target != path)
        keepPermissions(target, path);

    ConsoleDialogs console;
    ClosedDesktop desktop;
    platform::Dialogs::setCurrent(&console);
    platform::Desktop::setCurrent(&desktop);
    {
        Form1 form1;
        form1.setWindowless();
        if (form1.Form_Load())
            form1.ReportToPdf(target);
    }
    const int failures = failuresOf(console);
    data::releaseConnection();
    platform::Desktop::setCurrent(nullptr);
    platform::Dialogs::setCurrent(nullptr);
    if (failures > 0 || !QFileInfo(target).isFile() || QFileInfo(target).size() == 0)
        return notWritten();
    if (target != path) {
        std::error_code error;
        std::filesystem::rename(QFile::encodeName(target).constData(), QFile::encodeName(path).constData(), error);
        if (error) {
            std::fprintf(stderr, "tallyfold: %s: %s\n", qPrintable(path), error.message().c_str());
            return notWritten();
        }
        draft.setAutoRemove(false);
    }
    return 0;
}

} // namespace mainwindow

namespace mainwindow {

int writeChart(const QString& kind, const QString& file)
{
    if (kind.isEmpty() || file.isEmpty()) {
        std::fprintf(stderr, "tallyfold: --chart balance|months|accounts needs --chart-file FILE.png|.svg|.csv\n");
        return 1;
    }
    ConsoleDialogs console;
    ClosedDesktop desktop;
    platform::Dialogs::setCurrent(&console);
    platform::Desktop::setCurrent(&desktop);
    const QString path = QFileInfo(file).absoluteFilePath();
    QString error;
    bool written = false;
    {
        Form1 form1;
        if (form1.Form_Load())
            written = form1.ChartToFile(kind, path, &error);
    }
    const int failures = failuresOf(console);
    data::releaseConnection();
    platform::Desktop::setCurrent(nullptr);
    platform::Dialogs::setCurrent(nullptr);
    if (!written || failures > 0) {
        if (!error.isEmpty())
            std::fprintf(stderr, "tallyfold: %s\n", qPrintable(error));
        std::fprintf(stderr, "tallyfold: the chart was not written to %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

} // namespace mainwindow
