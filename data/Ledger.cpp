#include "data/Ledger.h"

#include "platform/AppPaths.h"
#include "shell/ErrorTrap.h"
#include "shell/FileFunctions.h"

#include <memory>

namespace data {

namespace {
std::unique_ptr<platform::Connection>& shared()
{
    static std::unique_ptr<platform::Connection> connection;
    return connection;
}

// "<common application data>/Marlowick", the maker's folder above the data folder.
QString makerFolder()
{
    return shell::GetSpecialFolder(35) + QStringLiteral("/Marlowick");
}
} // namespace

QString dataFolder()
{
    return makerFolder() + QStringLiteral("/Tallyfold");
}

QString workingDatabasePath()
{
    return dataFolder() + QStringLiteral("/dbData.mdb");
}

QString templatePath()
{
    return platform::programFolder() + QStringLiteral("/dbBlank.mdb");
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
    if (trap.test(108, [] { return !shell::FileExists(workingDatabasePath()); }))
        trap.run(110, [] { shell::CopyFile(templatePath(), workingDatabasePath()); });
}

void createConnection()
{
    shared() = std::make_unique<platform::Connection>();
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

} // namespace data
