#include "data/Ledger.h"

#include "data/Backups.h"
#include "data/LedgerMessages.h"
#include "data/StoredFormat.h"
#include "data/Undo.h"
#include "data/postgres/Conninfo.h"
#include "data/sqlite/FileAccess.h"
#include "platform/AppPaths.h"
#include "platform/FileFunctions.h"
#include "platform/Settings.h"
#include "platform/StatementTrap.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <optional>
#include <utility>

namespace data {

namespace {
// The shared connection; its back end keeps the history.
struct Shared {
    Connection connection;
};

std::unique_ptr<Shared>& shared()
{
    static std::unique_ptr<Shared> ledger;
    return ledger;
}

std::function<void(const QString&)>& teller()
{
    static std::function<void(const QString&)> tell;
    return tell;
}

struct Asker {
    std::function<bool(const QString&)> ask;
    std::function<std::optional<QString>(const QString&)> password;
};

Asker& asker()
{
    static Asker asking;
    return asking;
}

std::function<void()>& problemListener()
{
    static std::function<void()> listener;
    return listener;
}

std::function<void()>& othersListener()
{
    static std::function<void()> listener;
    return listener;
}

// The ledger chosen for this run, when one was.
std::optional<QString>& chosenLedger()
{
    static std::optional<QString> choice;
    return choice;
}

bool& withoutEventLoop()
{
    static bool without = false;
    return without;
}

// A server ledger chosen for this run and the next, kept once it has opened: a text
// that names none is never kept.
bool& keepOnceOpened()
{
    static bool keep = false;
    return keep;
}

void keepChosenLedger()
{
    if (!std::exchange(keepOnceOpened(), false) || !chosenLedger())
        return;
    const QString kept = postgres::withoutSecrets(*chosenLedger());
    if (kept.isEmpty())
        return;
    try {
        platform::settings::save(platform::stored::kLedgerKey, kept);
    } catch (const platform::AppError& e) {
        tellUser(e.description());
    }
}

QString normalChoice(const QString& choice)
{
    const QString trimmed = choice.trimmed();
    return trimmed.compare(platform::stored::kFileLedger, Qt::CaseInsensitive) == 0 ? QString() : trimmed;
}

// A working file that holds no data: no bytes, and no write-ahead log beside it that
// could still hold some.
bool isEmptyFile(const QString& path)
{
    const QFileInfo file(path);
    return file.isFile() && file.size() == 0 && !platform::hasLog(path);
}

// "<common application data>/Marlowick", the maker's folder above the data folder.
QString makerFolder()
{
    return platform::GetSpecialFolder(35) + u'/' + platform::stored::kMakerFolder;
}
} // namespace

QString dataFolder()
{
    return makerFolder() + u'/' + platform::stored::kProductFolder;
}

QString workingDatabasePath()
{
    return dataFolder() + u'/' + platform::stored::kWorkingFileName;
}

QString templatePath()
{
    return platform::programFolder() + u'/' + platform::stored::kTemplateFileName;
}

QString ledgerChoice()
{
    if (chosenLedger())
        return *chosenLedger();
    if (qEnvironmentVariableIsSet("TALLYFOLD_LEDGER"))
        return normalChoice(qEnvironmentVariable("TALLYFOLD_LEDGER"));
    return normalChoice(platform::settings::get(platform::stored::kLedgerKey, platform::stored::kFileLedger));
}

void chooseLedger(const QString& choice, bool keep)
{
    chosenLedger() = normalChoice(choice);
    keepOnceOpened() = keep && !chosenLedger()->isEmpty();
    if (keep && chosenLedger()->isEmpty())
        platform::settings::save(platform::stored::kLedgerKey, platform::stored::kFileLedger);
}

void setRunsWithoutEventLoop(bool without)
{
    withoutEventLoop() = without;
}

bool serverLedgerChosen()
{
    return !ledgerChoice().isEmpty();
}

QString connectionString()
{
    if (const QString server = ledgerChoice(); !server.isEmpty())
        return serverConnectionString(server);
    return fileConnectionString(workingDatabasePath());
}

void prepareDataFolder(platform::StatementTrap& trap)
{
    if (trap.test(100, [] { return platform::DirEntry(makerFolder(), true).isEmpty(); }))
        trap.run(102, [] { platform::MakeFolder(makerFolder()); });
    if (trap.test(104, [] { return platform::DirEntry(dataFolder(), true).isEmpty(); }))
        trap.run(106, [] { platform::MakeFolder(dataFolder()); });
    if (trap.test(108, [] { return !platform::FileExists(workingDatabasePath()) || isEmptyFile(workingDatabasePath()); }))
        trap.run(110, [] {
            if (isEmptyFile(workingDatabasePath()) && platform::FileExists(templatePath()))
                QFile::remove(workingDatabasePath());
            platform::CopyFile(templatePath(), workingDatabasePath());
        });
}

void createConnection()
{
    forgetBackupFailure();
    shared() = std::make_unique<Shared>();
    shared()->connection.setOwner({
        .describe = problemMessage,
        .tell = [](const QString& message) {
            // A ledger opened read-only after its backup failed (a full disk) was told
            // of once already: the list shows every row, and a change refused says why.
            if (ledgerProblem() == platform::FileProblem::ReadOnly && backupFailureTold())
                return;
            tellUser(message);
        },
        .changed = [] {
            if (problemListener())
                problemListener()();
        },
        .beforeMigration = beforeMigration,
        .othersChanged = [] {
            if (othersListener())
                othersListener()();
        },
        .createLedger = [](const QString& ledger) {
            return asker().ask && asker().ask(createLedgerQuestion(ledger));
        },
        .password = [](const QString& ledger) -> std::optional<QString> {
            if (!asker().password)
                return std::nullopt;
            return asker().password(passwordPrompt(ledger));
        },
        .opened = keepChosenLedger,
        .settlesLostCommits = withoutEventLoop(),
    });
}

void releaseConnection()
{
    shared().reset();
}

bool hasConnection()
{
    return shared() != nullptr;
}

Connection& connection()
{
    if (!shared())
        throw platform::AppError(QStringLiteral("Object variable or With block variable not set"));
    return shared()->connection;
}

History* connectionHistory()
{
    return shared() ? shared()->connection.history() : nullptr;
}

void setUserTeller(std::function<void(const QString& message)> tell)
{
    teller() = std::move(tell);
}

void setUserAsker(std::function<bool(const QString& question)> ask,
                  std::function<std::optional<QString>(const QString& prompt)> password)
{
    asker() = {std::move(ask), std::move(password)};
}

void tellUser(const QString& message)
{
    if (teller())
        teller()(message);
}

void beforeMigration(const QString& ledgerFile, int)
{
    backUpBeforeMigration(ledgerFile);
}

platform::FileProblem ledgerProblem()
{
    return shared() ? shared()->connection.problem() : platform::FileProblem::None;
}

QString ledgerProblemNote()
{
    const bool server = shared() && !shared()->connection.title().isEmpty();
    return server ? serverProblemNote(ledgerProblem()) : problemNote(ledgerProblem());
}

QString ledgerTitleNote()
{
    const QString title = shared() ? shared()->connection.title() : QString();
    return title.isEmpty() ? QString() : QStringLiteral(" - ") + title;
}

QString ledgerProblemMessage()
{
    return shared() ? shared()->connection.problemMessage() : QString();
}

void setLedgerProblemListener(std::function<void()> listener)
{
    problemListener() = std::move(listener);
}

void setOthersChangedListener(std::function<void()> listener)
{
    othersListener() = std::move(listener);
}

void checkLedgerInBackground()
{
    if (shared())
        shared()->connection.checkInBackground();
}

} // namespace data
