// tallyfold-bench: start-up, reload, sort, spreadsheet export and printed report times
// and peak memory of the main window over generated ledgers of 10,000, 100,000 and
// 1,000,000 transactions, the time of a write made while the whole list is being read
// (which must cost no memory), single adds, edits and deletes with and without their
// undo step recorded, a delete and an undo up to the reloaded list, the undo alone, a
// backup of the ledger (its copy and its check apart too), and an account with its
// transactions deleted as one step and undone; the add again once the history is full,
// and a delete by SQLite alone, bare, with one row of an undo step beside it, and with
// its changeset from SQLite's session extension in that row instead; find as you type
// and the charts window; and the command line's import of a 100,000-row CSV and a
// 100,000-transaction OFX statement, and the same CSV again (all rows already there),
// the CSV's import as the whole command from process start to exit beside hledger
// reading the same file, and the Import Statement window opened on a 10,000-row CSV.
// Prints one line per figure: measure <TAB> rows <TAB> median_ms <TAB> peak_mb.
//   tallyfold-bench [--sizes 10000,100000,1000000] [--runs 5]
//                   [--report-only | --changes-only | --find-only | --import-only | --server-only |
//                    --startup-only]
// --report-only: start-up and the printed report's figures alone.
// --changes-only: the single adds, edits and deletes alone, with and without their step,
// and the delete by SQLite alone.
// --find-only: find as you type and the charts window alone (TALLYFOLD_BENCH_KEYS=1 prints
// each keystroke's figures on standard error).
// --import-only: the statement imports and the import preview alone.
// --server-only: the same ledger on a throwaway PostgreSQL server (ServerBench.h).
// --startup-only: start-up from the process's start to the filled list (StartupBench.h).
#define SQLITE_ENABLE_PREUPDATE_HOOK 1   // Debian's SQLite has both; the header shows them only on request
#define SQLITE_ENABLE_SESSION 1
#include "data/Backups.h"
#include "data/Ledger.h"
#include "data/Undo.h"
#include "charts/ChartWindow.h"
#include "main/FindBar.h"
#include "main/Form1.h"
#include "main/ImportCommand.h"
#include "main/ImportWindow.h"
#include "platform/AppPaths.h"
#include "output/ReportFill.h"
#include "output/ReportPreview.h"
#include "data/sqlite/Database.h"
#include "data/sqlite/DatabaseCopy.h"
#include "shell/Desktop.h"
#include "data/UndoHistory.h"
#include "bench/StartupBench.h"
#include "bench/Timing.h"
#ifdef TALLYFOLD_BENCH_SERVER
#include "bench/ServerBench.h"
#endif
#include "shell/Dialogs.h"
#include "shell/ErrorTrap.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

using bench::median;
using bench::threadCpuMs;
using bench::timeMs;

namespace {

// Error reports are printed, not shown: a benchmark has nobody to press OK.
class PrintingDialogs : public platform::Dialogs {
public:
    int MsgBox(const QString& prompt, int, const QString&) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        return platform::vbOK;
    }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
};

// The desktop has a spreadsheet program, and opening the workbook costs nothing: the
// export alone is measured.
class QuietDesktop : public platform::Desktop {
public:
    bool open(const QUrl& target) override
    {
        opened = target.toLocalFile();
        return true;
    }
    bool canOpen(const QString&, const QStringList&) override { return true; }
    QString openWith(const QStringList&, const QString&) override { return {}; }
    QString opened;
};

// Starts the process's peak resident memory afresh, so the next figure is the peak of
// what follows (with everything already in memory counted).
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double peakMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

bool exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "bench: %s\n", error ? error : "?");
        sqlite3_free(error);
        return false;
    }
    return true;
}

// Fills the working ledger with rows transactions over 20 accounts: mixed
// descriptions, dates over three years, some Null and zero amounts.
bool fillLedger(const QString& path, int rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    bool ok = exec(db, "BEGIN");
    static const char* accounts[] = {"Groceries", "Rent", "Salary", "Utilities", "Travel", "Insurance", "Loans",
                                     "Income", "Office", "Car", "Health", "Gifts", "Taxes", "Phone", "Internet",
                                     "Books", "Clothing", "Repairs", "Savings", "Misc"};
    for (const char* name : accounts) {
        const std::string sql = std::string("insert into Accounts (AccountName) values ('") + name + "')";
        ok = ok && exec(db, sql.c_str());
    }
    static const char* words[] = {"coffee", "invoice", "O'Brien's trip", "train", "lunch", "Fuel", "rent",
                                  "refund", "Zürich hotel", "paper", "subscription", "repair", "bonus", "gift",
                                  "books", "parking"};
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                       "WithdrawalAmount,DepositAmount,Taxable) values (?,?,?,?,?,?)",
                       -1, &insert, nullptr);
    QRandomGenerator random(20261207);
    const QDate start(2023, 1, 1);
    for (int i = 0; ok && i < rows; ++i) {
        const QByteArray date = start.addDays(random.bounded(3 * 365)).toString(Qt::ISODate).toUtf8();
        const QByteArray description = (QByteArray(words[random.bounded(16)]) + ' ' + QByteArray::number(i % 997)
                                        + ' ' + words[random.bounded(16)]);
        sqlite3_bind_text(insert, 1, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, description.constData(), int(description.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, 1 + random.bounded(20));
        const int kind = random.bounded(10);
        if (kind == 0)
            sqlite3_bind_null(insert, 4);
        else
            sqlite3_bind_double(insert, 4, kind == 1 ? 0.0 : random.bounded(100000) / 100.0);
        if (kind == 2)
            sqlite3_bind_null(insert, 5);
        else
            sqlite3_bind_double(insert, 5, kind < 5 ? 0.0 : random.bounded(250000) / 100.0);
        sqlite3_bind_int(insert, 6, random.bounded(2));
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

// The least that any undo history kept in the ledger file costs a change: a delete by
// SQLite alone, bare and then with one row of an undo step's shape written beside it in
// its transaction, with no program code in between; runs of eight of each in turn. The
// third kind has SQLite's session extension record the delete (a session for each
// change, as a step would need) and writes its changeset in that row instead: the
// least that a history on the extension would cost.
void timeHistoryFloor(const QString& path, int rows, int count)
{
    sqlite3* db = nullptr;
    sqlite3_stmt *begin = nullptr, *step = nullptr, *remove = nullptr, *commit = nullptr, *changeset = nullptr;
    const auto prepare = [&](const char* sql, sqlite3_stmt** stmt) {
        return sqlite3_prepare_v2(db, sql, -1, stmt, nullptr) == SQLITE_OK;
    };
    if (sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK
        && exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; "
                    "CREATE TABLE BenchSteps AS SELECT * FROM UndoSteps WHERE 0")
        && prepare("BEGIN IMMEDIATE", &begin) && prepare("COMMIT", &commit)
        && prepare("INSERT INTO BenchSteps (StepID, Label, Undone, TableName, RowKey, Before, After, B1, B2, B3, "
                   "B4, B5, B6) SELECT ?1, 'Delete transaction', 0, 'Transactions', TransactionNumber, 1, 0, "
                   "TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, DepositAmount, Taxable "
                   "FROM Transactions WHERE TransactionNumber = ?2", &step)
        && prepare("INSERT INTO BenchSteps (StepID, Label, Undone, TableName, RowKey, Before, After, B1) "
                   "VALUES (?1, 'Delete transaction', 0, 'Transactions', ?2, 1, 0, ?3)", &changeset)
        && prepare("DELETE FROM Transactions WHERE TransactionNumber = ?1", &remove)) {
        const auto run = [](sqlite3_stmt* stmt) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
            }
            sqlite3_reset(stmt);
        };
        enum Kind { kAlone, kStepRow, kSession };
        std::vector<double> times[3], cpu[3];
        for (int i = 0; i < 3 * count; ++i) {
            const int kind = i / 8 % 3;
            const qint64 key = 5 + 7 * i;   // rows the program's own changes leave alone
            const double cpuStart = threadCpuMs();
            times[kind].push_back(timeMs([&] {
                if (kind != kAlone)
                    run(begin);
                if (kind == kStepRow) {
                    sqlite3_bind_int64(step, 1, i + 1);
                    sqlite3_bind_int64(step, 2, key);
                    run(step);
                }
                sqlite3_session* session = nullptr;
                if (kind == kSession && (sqlite3session_create(db, "main", &session) != SQLITE_OK
                                         || sqlite3session_attach(session, "Transactions") != SQLITE_OK)) {
                    std::fprintf(stderr, "bench: no session: %s\n", sqlite3_errmsg(db));
                    std::exit(1);
                }
                sqlite3_bind_int64(remove, 1, key);
                run(remove);
                if (session) {
                    int size = 0;
                    void* blob = nullptr;
                    if (sqlite3session_changeset(session, &size, &blob) != SQLITE_OK) {
                        std::fprintf(stderr, "bench: no changeset: %s\n", sqlite3_errmsg(db));
                        std::exit(1);
                    }
                    sqlite3_bind_int64(changeset, 1, i + 1);
                    sqlite3_bind_int64(changeset, 2, key);
                    sqlite3_bind_blob(changeset, 3, blob, size, SQLITE_STATIC);
                    run(changeset);
                    sqlite3_free(blob);
                    sqlite3session_delete(session);
                }
                if (kind != kAlone)
                    run(commit);
            }));
            cpu[kind].push_back(threadCpuMs() - cpuStart);
        }
        const char* names[] = {"delete_sqlite_alone", "delete_sqlite_with_step_row", "delete_sqlite_with_session_changeset"};
        for (const int kind : {kAlone, kStepRow, kSession}) {
            std::printf("%s\t%d\t%.3f\t%.1f\n", names[kind], rows, median(times[kind]), peakMegabytes());
            std::printf("%s_cpu\t%d\t%.3f\t%.1f\n", names[kind], rows, median(cpu[kind]), peakMegabytes());
        }
    }
    for (sqlite3_stmt* stmt : {begin, step, changeset, remove, commit})
        sqlite3_finalize(stmt);
    sqlite3_close(db);
}

// The time from now until the report's preview has drawn its first page; the preview
// is closed as soon as it has.
class FirstPageWatch : public QObject {
public:
    FirstPageWatch() { qApp->installEventFilter(this); }
    ~FirstPageWatch() override { qApp->removeEventFilter(this); }
    void start()
    {
        m_timer.start();
        m_cpu = threadCpuMs();
        m_ms = -1;
    }
    double ms() const { return m_ms; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* preview = qobject_cast<output::ReportPreview*>(object);
        if (preview && event->type() == QEvent::Show) {
            connect(preview->view(), &output::ReportPageView::pagesPainted, preview, [this, preview] {
                if (m_ms < 0) {
                    m_ms = m_timer.nsecsElapsed() / 1e6;
                    if (qEnvironmentVariableIsSet("TALLYFOLD_BENCH_CPU"))
                        std::fprintf(stderr, "cpu %.1f ms (to the first page)\n", threadCpuMs() - m_cpu);
                    QMetaObject::invokeMethod(preview, &QDialog::reject, Qt::QueuedConnection);
                }
            });
        }
        return false;
    }

private:
    QElapsedTimer m_timer;
    double m_cpu = 0;
    double m_ms = -1;
};

void report(const char* measure, int rows, double ms)
{
    std::printf("%s\t%d\t%.1f\t%.1f\n", measure, rows, ms, peakMegabytes());
    std::fflush(stdout);
}

// Find as you type: each keystroke of words typed letter by letter and then taken back,
// from the text changed to the list and summary repainted; then the charts window
// opened, and redrawn after a change has reloaded the list. Each with a _cpu line, the
// thread's processor time, which other work on the machine does not stretch.
void measureFindAndCharts(int rows, int runs)
{
    const QString typed = QStringLiteral("zurich hotel 12");
    std::vector<double> keys, keysCpu, open, openCpu, redraw, redrawCpu;
    const auto timed = [](std::vector<double>& wall, std::vector<double>& cpu, auto&& step) {
        const double cpuStart = threadCpuMs();
        wall.push_back(timeMs(step));
        cpu.push_back(threadCpuMs() - cpuStart);
    };
    for (int run = 0; run < runs; ++run) {
        mainwindow::Form1 form;
        form.Form_Load();
        form.show();
        QApplication::processEvents();
        form.mnuFind_Click();
        QApplication::processEvents();
        QLineEdit* field = form.findBar()->field();
        const auto key = [&](const QString& text) {
            timed(keys, keysCpu, [&] {
                field->setText(text);
                QApplication::processEvents();   // the list and summary repainted
            });
            if (qEnvironmentVariableIsSet("TALLYFOLD_BENCH_KEYS"))
                std::fprintf(stderr, "key [%s] %d rows %.1f ms, cpu %.1f ms\n", qPrintable(text),
                             form.ListView1->count(), keys.back(), keysCpu.back());
        };
        for (qsizetype n = 1; n <= typed.size(); ++n)
            key(typed.left(n));
        for (qsizetype n = typed.size() - 1; n >= 0; --n)
            key(typed.left(n));
        form.closeFind();
        timed(open, openCpu, [&] {
            form.mnuCharts_Click();
            QApplication::processEvents();
        });
        data::connection().Execute(QStringLiteral(
            "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,"
            "DepositAmount,Taxable) values (#03/05/2024#,'bench',3,12.5,0,1)"));
        form.ListData();   // redraws the charts too; the redraw alone is timed below
        QApplication::processEvents();
        timed(redraw, redrawCpu, [&] {
            form.chartWindow()->refresh();
            QApplication::processEvents();
        });
        form.chartWindow()->close();
        data::connection().Execute(QStringLiteral("delete from Transactions where TransactionDescription='bench'"));
    }
    data::releaseConnection();
    report("find_keystroke", rows, median(keys));
    report("find_keystroke_cpu", rows, median(keysCpu));
    report("find_keystroke_slowest", rows, *std::max_element(keys.begin(), keys.end()));
    report("find_keystroke_slowest_cpu", rows, *std::max_element(keysCpu.begin(), keysCpu.end()));
    report("charts_open", rows, median(open));
    report("charts_open_cpu", rows, median(openCpu));
    report("charts_redraw", rows, median(redraw));
    report("charts_redraw_cpu", rows, median(redrawCpu));
}

// Statements of `rows` rows over the ledger's years: a CSV of one signed amount column,
// and an SGML OFX with a FITID each.
constexpr int kStatementRows = 100000;

bool writeStatements(const QString& csvPath, const QString& ofxPath, int rows)
{
    QFile csv(csvPath), ofx(ofxPath);
    if (!csv.open(QIODevice::WriteOnly) || !ofx.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator random(7);
    const QDate start(2024, 1, 1);
    QByteArray c = "Date,Description,Amount\n";
    QByteArray o = "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nSECURITY:NONE\r\nENCODING:USASCII\r\n"
                   "CHARSET:1252\r\nCOMPRESSION:NONE\r\nOLDFILEUID:NONE\r\nNEWFILEUID:NONE\r\n\r\n"
                   "<OFX><BANKMSGSRSV1><STMTTRNRS><TRNUID>1<STMTRS><CURDEF>EUR<BANKACCTFROM><BANKID>1<ACCTID>2"
                   "<ACCTTYPE>CHECKING</BANKACCTFROM>\r\n<BANKTRANLIST>\r\n";
    for (int i = 0; i < rows; ++i) {
        const QDate date = start.addDays(random.bounded(700));
        const qint64 cents = random.bounded(2) ? -qint64(random.bounded(50000)) - 1 : qint64(random.bounded(300000)) + 1;
        const QByteArray amount = (cents < 0 ? "-" : "") + QByteArray::number(std::abs(cents) / 100) + '.'
            + QByteArray::number(std::abs(cents) % 100).rightJustified(2, '0');
        const QByteArray name = "Shop " + QByteArray::number(random.bounded(5000)) + " card payment";
        c += date.toString(Qt::ISODate).toLatin1() + ',' + name + ',' + amount + '\n';
        o += "<STMTTRN><TRNTYPE>OTHER<DTPOSTED>" + date.toString(QStringLiteral("yyyyMMdd")).toLatin1() + "<TRNAMT>"
            + amount + "<FITID>T" + QByteArray::number(i) + "<NAME>" + name + "</STMTTRN>\r\n";
    }
    o += "</BANKTRANLIST><LEDGERBAL><BALAMT>0.00<DTASOF>20251231</LEDGERBAL></STMTRS></STMTTRNRS>"
         "</BANKMSGSRSV1></OFX>\r\n";
    return csv.write(c) == c.size() && ofx.write(o) == o.size();
}

// The whole command, `tallyfold --import statement.csv --account Groceries` from process
// start to exit, into the ledger as filled (put back before each run); in turn with it,
// when hledger is installed, hledger printing the same CSV, the figure the import is
// held against (the command within a tenth of it).
void timeImportProcess(const QString& dir, const QString& csv, const QString& kept, int rows, int runs)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tallyfold");
    const QString hledger = QStandardPaths::findExecutable(QStringLiteral("hledger"));
    const QString rules = dir + QStringLiteral("/statement.csv.rules");
    QFile rulesFile(rules);
    if (!hledger.isEmpty() && rulesFile.open(QIODevice::WriteOnly))
        rulesFile.write("skip 1\nfields date, description, amount\ncurrency $\naccount1 assets:bank\n"
                        "account2 expenses:unknown\n");
    rulesFile.close();
    const auto run = [](const QString& what, const QStringList& arguments) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(what, arguments);
        return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    };
    std::vector<double> imports, others;
    for (int r = 0; r < runs; ++r) {
        QFile::remove(data::workingDatabasePath());
        QFile::copy(kept, data::workingDatabasePath());
        bool ok = true;
        imports.push_back(timeMs([&] {
            ok = run(program, {QStringLiteral("--import"), csv, QStringLiteral("--account"), QStringLiteral("Groceries")});
        }));
        if (!ok)
            std::fprintf(stderr, "bench: %s --import failed\n", qPrintable(program));
        if (!hledger.isEmpty()) {
            others.push_back(timeMs([&] {
                ok = run(hledger, {QStringLiteral("-f"), csv, QStringLiteral("--rules-file"), rules, QStringLiteral("print")});
            }));
            if (!ok)
                std::fprintf(stderr, "bench: hledger failed\n");
        }
    }
    report("import_csv_100000_command", rows, median(imports));
    if (!others.empty()) {
        report("hledger_print_csv_100000", rows, median(others));
        std::printf("import_command_per_hledger\t%d\t%.3f\n", rows, median(imports) / median(others));
    }
}

// The command line's import (the very function `tallyfold --import` runs) of each
// statement into the ledger as filled, the file put back before each run.
void timeImports(const QString& dir, int rows, int runs)
{
    const QString csv = dir + QStringLiteral("/statement.csv"), ofx = dir + QStringLiteral("/statement.ofx");
    const QString kept = dir + QStringLiteral("/filled.mdb");
    if (!writeStatements(csv, ofx, kStatementRows) || !QFile::copy(data::workingDatabasePath(), kept)) {
        std::fprintf(stderr, "bench: cannot write the statements\n");
        return;
    }
    struct Import { const char* measure; const QString* file; const char* account; bool again; };
    const Import imports[] = {
        {"import_csv_100000", &csv, "Groceries", false},
        {"import_ofx_100000", &ofx, "Savings", false},
        {"import_csv_100000_again", &csv, "Groceries", true},
    };
    for (const Import& import : imports) {
        std::vector<double> times, peaks;
        for (int run = 0; run < runs; ++run) {
            QFile::remove(data::workingDatabasePath());
            QFile::copy(kept, data::workingDatabasePath());
            if (import.again)
                mainwindow::importStatementFile(*import.file, QString::fromLatin1(import.account), {});
            resetPeak();
            times.push_back(timeMs([&] {
                mainwindow::importStatementFile(*import.file, QString::fromLatin1(import.account), {});
            }));
            peaks.push_back(peakMegabytes());
        }
        std::printf("%s\t%d\t%.1f\t%.1f\n", import.measure, rows, median(times), median(peaks));
    }
    timeImportProcess(dir, csv, kept, rows, runs);

    // The Import Statement window on a 10,000-row CSV: read, planned against the ledger,
    // shown and painted.
    const QString small = dir + QStringLiteral("/preview.csv"), smallOfx = dir + QStringLiteral("/preview.ofx");
    if (!writeStatements(small, smallOfx, 10000))
        return;
    QFile::remove(data::workingDatabasePath());
    QFile::copy(kept, data::workingDatabasePath());
    QFile::remove(kept);
    data::createConnection();
    data::connection().Open(data::connectionString());
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(timeMs([&] {
            mainwindow::ImportWindow window(small);
            window.show();
            QApplication::processEvents();
        }));
    }
    data::releaseConnection();
    report("import_preview_10000", rows, median(times));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<int> sizes = {10000, 100000, 1000000};
    int runs = 5;
    const QStringList args = app.arguments();
    const bool reportOnly = args.contains(QStringLiteral("--report-only"));
    const bool changesOnly = args.contains(QStringLiteral("--changes-only"));
    const bool findOnly = args.contains(QStringLiteral("--find-only"));
    const bool importOnly = args.contains(QStringLiteral("--import-only"));
    const bool serverOnly = args.contains(QStringLiteral("--server-only"));
    const bool startupOnly = args.contains(QStringLiteral("--startup-only"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--sizes")) {
            sizes.clear();
            for (const QString& s : args[i + 1].split(u','))
                sizes.push_back(s.toInt());
        } else if (args[i] == QStringLiteral("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        }
    }

    PrintingDialogs dialogs;
    platform::Dialogs::setCurrent(&dialogs);
    data::setUserTeller(platform::tellInMessageBox);
    QuietDesktop desktop;
    platform::Desktop::setCurrent(&desktop);
    QTemporaryDir dir;
    const QString program = dir.path() + QStringLiteral("/program");
    QDir().mkpath(program);
    QDir().mkpath(dir.path() + QStringLiteral("/config"));
    if (!QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/dbBlank.mdb"), program + QStringLiteral("/dbBlank.mdb"))) {
        std::fprintf(stderr, "bench: no dbBlank.mdb beside the benchmark\n");
        return 1;
    }
    platform::setProgramFolder(program);
    qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
    qputenv("HOME", dir.path().toUtf8());   // exports go to its Documents

    std::printf("measure\trows\tmedian_ms\tpeak_mb\n");
    for (const int rows : sizes) {
        const QString dataHome = dir.path() + QStringLiteral("/data-%1").arg(rows);
        QDir().mkpath(dataHome + QStringLiteral("/Marlowick/Tallyfold"));
        qputenv("XDG_DATA_HOME", dataHome.toUtf8());
        QFile::copy(program + QStringLiteral("/dbBlank.mdb"), data::workingDatabasePath());
        QFile::setPermissions(data::workingDatabasePath(), QFile::ReadOwner | QFile::WriteOwner);
        if (!fillLedger(data::workingDatabasePath(), rows))
            return 1;
#ifdef TALLYFOLD_BENCH_SERVER
        if (serverOnly) {
            if (!bench::measureServer(rows, runs, report, resetPeak))
                return 1;
            QFile::remove(data::workingDatabasePath());
            continue;
        }
#else
        if (serverOnly) {
            std::fprintf(stderr, "bench: built without the test server (BUILD_TESTING off)\n");
            return 1;
        }
#endif
        if (startupOnly) {
            if (!bench::measureStartup(rows, runs, report))
                return 1;
            QFile::remove(data::workingDatabasePath());
            continue;
        }
        if (importOnly) {
            timeImports(dataHome, rows, runs);
            QFile::remove(data::workingDatabasePath());
            continue;
        }

        if (!reportOnly && !changesOnly)
            measureFindAndCharts(rows, runs);
        if (findOnly) {
            QFile::remove(data::workingDatabasePath());
            continue;
        }

        // A change sent while the list's query still has its last row to give.
        std::vector<double> write;
        for (int run = 0; run < runs && !reportOnly && !changesOnly; ++run) {
            data::createConnection();
            data::connection().Open(data::connectionString());
            data::Recordset rs;
            rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID = a.AccountID"),
                    data::connection(), 3, 1);
            for (int row = 1; row < rows; ++row)
                rs.MoveNext();
            write.push_back(timeMs([&] {
                data::connection().Execute(QStringLiteral("insert into Accounts (AccountName) values ('bench')"));
                data::connection().Execute(QStringLiteral("delete from Accounts where AccountName = 'bench'"));
            }));
            rs.Close();
            data::releaseConnection();
        }
        if (!reportOnly && !changesOnly)
            report("write_during_read", rows, median(write));

        // One add, edit or delete as a command sends it, each timed alone, with and
        // without its undo step: runs of eight of each in turn, so that both meet the
        // same machine, and recorded changes follow one another as a user's do.
        if (!reportOnly) {
            constexpr int kChanges = 200;
            data::createConnection();
            data::connection().Open(data::connectionString());
            struct Change { const char* name; QString (*sql)(int i); };
            const Change changes[] = {
                {"add", [](int) {
                     return QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                           "WithdrawalAmount,DepositAmount,Taxable) values (#03/05/2024#,'bench',3,12.5,0,1)");
                 }},
                {"edit", [](int i) {
                     return QStringLiteral("update Transactions set TransactionDate=#03/06/2024#,TransactionDescription="
                                           "'edited',AccountID=4,WithdrawalAmount=1,DepositAmount=2,Taxable=0 where "
                                           "TransactionNumber=%1").arg(1000 + 7 * i);
                 }},
                {"delete", [](int i) { return QStringLiteral("delete from [Transactions] where TransactionNumber=%1").arg(3 + 7 * i); }},
            };
            // Wall time (a full sync of the log at each commit, mostly) and the thread's
            // own CPU time, where the recording's work shows.
            const auto timeChanges = [&](const std::string& measure, const Change& change) {
                std::vector<double> wall[2], cpu[2];
                for (int i = 0; i < 2 * kChanges; ++i) {
                    const QString sql = change.sql(i);
                    const bool recorded = i / 8 % 2;
                    const double cpuStart = threadCpuMs();
                    wall[recorded].push_back(timeMs([&] {
                        std::optional<data::UndoStep> step;
                        if (recorded)
                            step.emplace(QStringLiteral("bench"));
                        data::connection().Execute(sql);
                    }));
                    cpu[recorded].push_back(threadCpuMs() - cpuStart);
                }
                for (const bool recorded : {false, true}) {
                    const std::string name = measure + (recorded ? "_recorded" : "_unrecorded");
                    std::printf("%s\t%d\t%.3f\t%.1f\n", name.c_str(), rows, median(wall[recorded]), peakMegabytes());
                    std::printf("%s_cpu\t%d\t%.3f\t%.1f\n", name.c_str(), rows, median(cpu[recorded]), peakMegabytes());
                }
            };
            for (const Change& change : changes)
                timeChanges(change.name, change);
            // A user's history soon holds all the steps it can undo; beyond them the
            // oldest steps leave the file fifty at a time.
            for (int i = 0; i < data::UndoHistory::kStepsKept; ++i) {
                data::UndoStep step(QStringLiteral("bench"));
                data::connection().Execute(changes[0].sql(i));
            }
            timeChanges("add_full_history", changes[0]);
            // (With the ledger still open, its log as the changes above left it.)
            timeHistoryFloor(data::workingDatabasePath(), rows, kChanges);
            data::releaseConnection();
        }
        if (changesOnly)
            continue;

        // The backup a start-up makes of a changed ledger, and its two parts.
        if (!reportOnly) {
            std::vector<double> backup, copy, check;
            const QString folder = data::backupFolder(data::workingDatabasePath());
            const QString copied = dir.path() + QStringLiteral("/copy.mdb");
            for (int run = 0; run < runs; ++run) {
                QDir(folder).removeRecursively();   // nothing to compare with: a backup is made
                backup.push_back(timeMs([&] { data::backUp(data::workingDatabasePath()); }));
                QFile::remove(copied);
                copy.push_back(timeMs([&] { platform::copyDatabase(data::workingDatabasePath(), copied); }));
                check.push_back(timeMs([&] { platform::quickCheck(copied); }));
            }
            QFile::remove(copied);
            report("backup", rows, median(backup));
            report("backup_copy", rows, median(copy));
            report("backup_quick_check", rows, median(check));
            std::fprintf(stderr, "ledger of %d rows: %.1f MB\n", rows, QFileInfo(data::workingDatabasePath()).size() / 1e6);
        }

        std::vector<double> startup, reload, sort, sortId, exported, exportPeak, fill, firstPage, pdf, reportPeak;
        qint64 workbookBytes = 0;
        FirstPageWatch watch;
        const QString pdfFile = dir.path() + QStringLiteral("/report.pdf");
        // The list's own figures: a reload, two sorts, the export of every row.
        const auto measureList = [&](mainwindow::Form1& form) {
            reload.push_back(timeMs([&] { form.ListData(); }));
            form.ListView1->setSorted(false);
            sort.push_back(timeMs([&] { form.ListView1_ColumnClick(4); }));
            form.ListView1->setSorted(false);
            sortId.push_back(timeMs([&] { form.ListView1_ColumnClick(1); }));
            // Every row ticked, as a user exporting the whole ledger would.
            mainwindow::TransactionListModel& list = form.ListView1->items();
            for (int row = 0; row < list.rowCount(); ++row)
                list.setData(list.index(row, 0), Qt::Checked, Qt::CheckStateRole);
            resetPeak();
            exported.push_back(timeMs([&] { form.PushButton6_Click(); }));
            exportPeak.push_back(peakMegabytes());
            workbookBytes = QFileInfo(desktop.opened).size();
            QFile::remove(desktop.opened);
        };
        for (int run = 0; run < runs; ++run) {
            auto form = std::make_unique<mainwindow::Form1>();
            startup.push_back(timeMs([&] { form->Form_Load(); }));
            if (!reportOnly)
                measureList(*form);
            resetPeak();
            fill.push_back(timeMs([&] {
                shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
                output::fillReportTable(trap);
            }));
            form->show();
            watch.start();
            form->PushButton5_Click();
            firstPage.push_back(watch.ms());
            // A whole report of a million rows is some 27,000 pages: only the smaller ones.
            if (rows <= 100000)
                pdf.push_back(timeMs([&] { form->ReportToPdf(pdfFile); }));
            reportPeak.push_back(peakMegabytes());
            form.reset();
            data::releaseConnection();
        }
        // Undo of a delete, up to the reloaded list, against a reload alone; and the
        // undo alone, without the reload.
        // The delete itself, up to its reloaded list, is the reload a user waits for after
        // any change: the readers' caches start cold after a write.
        std::vector<double> undo, undoAlone, deleted;
        if (!reportOnly) {
            auto form = std::make_unique<mainwindow::Form1>();
            form->Form_Load();
            for (int run = 0; run < runs; ++run) {
                form->ListView1->setCurrentRow(run);
                deleted.push_back(timeMs([&] { form->PushButton3_Click(); }));
                undo.push_back(timeMs([&] { form->mnuUndo_Click(); }));
                form->ListView1->setCurrentRow(run);
                form->PushButton3_Click();
                undoAlone.push_back(timeMs([] { data::undo(); }));
                form->ListData();
            }
            form.reset();
            data::releaseConnection();
        }
        report("startup_to_filled_list", rows, median(startup));
        if (!reportOnly) {
            report("listdata", rows, median(reload));
            report("sort_description", rows, median(sort));
            report("sort_id", rows, median(sortId));
            report("delete_to_reloaded_list", rows, median(deleted));
            report("undo_to_reloaded_list", rows, median(undo));
            report("undo_alone", rows, median(undoAlone));
            std::printf("export_xlsx\t%d\t%.1f\t%.1f\n", rows, median(exported), median(exportPeak));
            std::fprintf(stderr, "workbook of %d rows: %.1f MB\n", rows, workbookBytes / 1e6);
        }
        std::printf("report_fill\t%d\t%.1f\t%.1f\n", rows, median(fill), median(reportPeak));
        std::printf("report_click_to_first_page\t%d\t%.1f\t%.1f\n", rows, median(firstPage), median(reportPeak));
        if (!pdf.empty())
            std::printf("report_to_pdf\t%d\t%.1f\t%.1f\n", rows, median(pdf), median(reportPeak));
        report("peak_memory", rows, 0);

        // The largest single step a user makes: an account and its transactions (a
        // twentieth of the ledger) deleted as one step, its peak memory the step's own,
        // then undone.
        if (!reportOnly) {
            data::createConnection();
            data::connection().Open(data::connectionString());
            resetPeak();
            const double deleted = timeMs([] {
                const data::UndoStep step(QStringLiteral("Delete account Loans"));
                data::connection().Execute(QStringLiteral("delete from Accounts where AccountID=7"));
                data::connection().Execute(QStringLiteral("delete from Transactions where AccountID=7"));
            });
            std::printf("delete_account_recorded\t%d\t%.1f\t%.1f\n", rows, deleted, peakMegabytes());
            resetPeak();
            const double undone = timeMs([] { data::undo(); });
            std::printf("undo_delete_account\t%d\t%.1f\t%.1f\n", rows, undone, peakMegabytes());
            data::releaseConnection();
        }
        QFile::remove(data::workingDatabasePath());
    }
    return 0;
}
