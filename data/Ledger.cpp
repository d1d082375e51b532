#include "data/Ledger.h"

#include "data/Backups.h"
#include "data/LedgerMessages.h"
#include "platform/AppPaths.h"
#include "shell/Dialogs.h"
#include "data/StoredFormat.h"
#include "shell/ErrorTrap.h"
#include "platform/FileFunctions.h"

#include <QFile>
#include <QFileInfo>
#include <memory>

namespace data {

namespace {
std::unique_ptr<platform::Connection>& shared()
{
    static std::unique_ptr<platform::Connection> connection;
    return connection;
}

std::function<void()>& problemListener()
{
    static std::function<void()> listener;
    return listener;
}

// A working file that holds no data: no bytes, and no write-ahead log beside it that
// could still hold some.
bool isEmptyFile(const QString& path)
{
    const QFileInfo file(path), log(path + QStringLiteral("-wal"));
    return file.isFile() && file.size() == 0 && !(log.exists() && log.size() > 0);
}

// "<common application data>/Marlowick", the maker's folder above the data folder.
QString makerFolder()
{
    return shell::GetSpecialFolder(35) + u'/' + platform::stored::kMakerFolder;
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

QString connectionString()
{
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + workingDatabasePath()
        + QStringLiteral(";JET OLEDB:Database Password=");
}

void prepareDataFolder(shell::ErrorTrap& trap)
{
    if (trap.test(100, [] { return shell::DirEntry(makerFolder(), true).isEmpty(); }))
        trap.run(102, [] { shell::MakeFolder(makerFolder()); });
    if (trap.test(104, [] { return shell::DirEntry(dataFolder(), true).isEmpty(); }))
        trap.run(106, [] { shell::MakeFolder(dataFolder()); });
    if (trap.test(108, [] { return !shell::FileExists(workingDatabasePath()) || isEmptyFile(workingDatabasePath()); }))
        trap.run(110, [] {
            if (isEmptyFile(workingDatabasePath()) && shell::FileExists(templatePath()))
                QFile::remove(workingDatabasePath());
            shell::CopyFile(templatePath(), workingDatabasePath());
        });
}

void createConnection()
{
    forgetBackupFailure();
    shared() = std::make_unique<platform::Connection>();
    shared()->setOwner({
        .describe = problemMessage,
        .tell = [](const QString& message) {
            platform::Dialogs::current().MsgBox(message, platform::vbExclamation, platform::appTitle());
        },
        .changed = [] {
            if (problemListener())
                problemListener()();
        },
        .beforeMigration = beforeMigration,
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

platform::Connection& connection()
{
    if (!shared())
        throw platform::AppError(QStringLiteral("Object variable or With block variable not set"));
    return *shared();
}

void beforeMigration(const QString& ledgerFile, int)
{
    backUpBeforeMigration(ledgerFile);
}

platform::FileProblem ledgerProblem()
{
    return shared() ? shared()->problem() : platform::FileProblem::None;
}

QString ledgerProblemNote()
{
    return problemNote(ledgerProblem());
}

QString ledgerProblemMessage()
{
    return shared() ? shared()->problemMessage() : QString();
}

void setLedgerProblemListener(std::function<void()> listener)
{
    problemListener() = std::move(listener);
}

void checkLedgerInBackground()
{
    if (shared())
        shared()->checkInBackground();
}

} // namespace data
