#include "main/LedgerCommand.h"

#include "data/Connection.h"
#include "data/Ledger.h"
#include "data/LedgerCopy.h"
#include "main/ConsoleDialogs.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstring>

namespace mainwindow {

namespace {
const QString kLedger = QStringLiteral("ledger");
const QString kCreateLedger = QStringLiteral("create-ledger");
const QString kCopyLedger = QStringLiteral("copy-ledger");

void printError(const QString& message)
{
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "tallyfold: %s\n", qPrintable(text));
}
} // namespace

bool ledgerRunsWithoutWindows(const char* argument)
{
    return std::strcmp(argument, "--create-ledger") == 0 || std::strcmp(argument, "--copy-ledger") == 0
        || std::strncmp(argument, "--copy-ledger=", 14) == 0;
}

void addLedgerOptions(QCommandLineParser& parser)
{
    parser.addOption({kLedger,
                      QStringLiteral("Opens the ledger on the PostgreSQL server that <conninfo> names (as libpq takes "
                                     "it: host=... dbname=..., service=..., or a postgresql:// address), now and at "
                                     "every later start; \"file\" goes back to the ledger file in the data folder. "
                                     "The environment variable TALLYFOLD_LEDGER chooses likewise for one run."),
                      QStringLiteral("conninfo")});
    parser.addOption({kCreateLedger,
                      QStringLiteral("Makes the empty server database of --ledger a Tallyfold ledger and exits.")});
    parser.addOption({kCopyLedger,
                      QStringLiteral("Copies the whole ledger <from> into <to> and exits; the second name follows as "
                                     "an argument. Each is \"file\" (the ledger in the data folder), a ledger file's "
                                     "path, or a server's conninfo. The target must hold no ledger yet."),
                      QStringLiteral("from")});
}

std::optional<int> runLedgerOptions(const QCommandLineParser& parser)
{
    if (parser.isSet(kCopyLedger)) {
        const QStringList rest = parser.positionalArguments();
        if (rest.size() != 1) {
            printError(QStringLiteral("--copy-ledger FROM TO needs the ledger to copy into after FROM"));
            return 1;
        }
        return copyLedgerCommand(parser.value(kCopyLedger), rest.first());
    }
    if (parser.isSet(kLedger)) {
        try {
            data::chooseLedger(parser.value(kLedger), !parser.isSet(kCreateLedger));
        } catch (const platform::AppError& e) {
            printError(e.description());
            return 1;
        }
    }
    if (parser.isSet(kCreateLedger)) {
        const QString conninfo = data::ledgerChoice();
        if (conninfo.isEmpty()) {
            printError(QStringLiteral("--create-ledger needs a server ledger: --ledger CONNINFO"));
            return 1;
        }
        return createServerLedger(conninfo);
    }
    return std::nullopt;
}

int createServerLedger(const QString& conninfo)
{
    Console console;
    data::Connection server;
    bool made = false;
    server.setOwner({.tell = printError, .createLedger = [&made](const QString&) { return made = true; }});
    try {
        server.Open(data::serverConnectionString(conninfo));
        const bool ok = server.problem() == platform::FileProblem::None;
        if (!ok)
            printError(server.problemMessage());
        else if (made)
            std::printf("Made a Tallyfold ledger in database %s\n", qPrintable(server.title()));
        else
            std::printf("The database %s is already a Tallyfold ledger: nothing was changed\n", qPrintable(server.title()));
        server.Close();
        return ok ? 0 : 1;
    } catch (const platform::DbError& e) {
        printError(e.description());
        return 1;
    }
}

void requireSoundLedger()
{
    data::Connection& ledger = data::connection();
    ledger.checkNow();
    if (ledger.problem() == platform::FileProblem::Damaged)
        throw platform::FileRefusal(QString(ledger.problemMessage()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                                    false);
}

int copyLedgerCommand(const QString& from, const QString& to)
{
    Console console;
    data::setUserTeller(printError);
    try {
        const data::CopyCount count =
            data::copyLedger(data::copySideConnectionString(from), data::copySideConnectionString(to));
        std::printf("%lld accounts, %lld transactions, %lld import keys, %lld undo steps copied\n",
                    qlonglong(count.accounts), qlonglong(count.transactions), qlonglong(count.importKeys),
                    qlonglong(count.steps));
        data::setUserTeller({});
        return 0;
    } catch (const platform::DbError& e) {
        data::setUserTeller({});
        printError(e.description());
        printError(QStringLiteral("the ledger was not copied"));
        return 1;
    }
}

} // namespace mainwindow
