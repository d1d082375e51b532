#include "data/DataAccessCheck.h"

#include "platform/AppPaths.h"

#include <QSysInfo>
#include <sqlite3.h>

namespace data {

namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

QString realArchitecture()
{
    const QString architecture = QSysInfo::currentCpuArchitecture();
    if (architecture.isEmpty())
        throw platform::AppError(QStringLiteral("The system's processor architecture cannot be found out"));
    return architecture;
}

std::function<QString()>& architectureSource()
{
    static std::function<QString()> source = realArchitecture;
    return source;
}

void requireWorkingLibrary()
{
    if (qEnvironmentVariable("TALLYFOLD_FAIL_DATA_ACCESS_PROBE") == u"1")
        throw platform::DbError(QStringLiteral("The data-access probe fails on request (TALLYFOLD_FAIL_DATA_ACCESS_PROBE=1)"));
    const QString problem = dataAccessProblem();
    if (!problem.isEmpty())
        throw platform::DbError(problem);
}

} // namespace

QString dataAccessProblem()
{
    if (sqlite3_libversion_number() < SQLITE_VERSION_NUMBER)
        return QStringLiteral("SQLite %1 is older than %2, which Tallyfold was built for")
            .arg(QLatin1String(sqlite3_libversion()), QLatin1String(SQLITE_VERSION));
    if (!sqlite3_threadsafe())
        return QStringLiteral("SQLite is built for use from one thread only");

    sqlite3* opened = nullptr;
    const int rc = sqlite3_open_v2(":memory:", &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const std::unique_ptr<sqlite3, CloseDatabase> db(opened);
    if (rc != SQLITE_OK)
        return QStringLiteral("SQLite cannot open an in-memory database");

    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_exec(db.get(), "CREATE TABLE probe (stored)", nullptr, nullptr, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db.get(), "SELECT stored AS shown FROM probe", -1, &prepared, nullptr) != SQLITE_OK)
        return QStringLiteral("SQLite cannot run a query: %1").arg(QString::fromUtf8(sqlite3_errmsg(db.get())));
    const std::unique_ptr<sqlite3_stmt, FinalizeStatement> stmt(prepared);
    const char* table = sqlite3_column_table_name(stmt.get(), 0);
    const char* origin = sqlite3_column_origin_name(stmt.get(), 0);
    if (!table || !origin || qstrcmp(table, "probe") != 0 || qstrcmp(origin, "stored") != 0)
        return QStringLiteral("SQLite does not tell which table column a query column comes from");
    return {};
}

std::unique_ptr<platform::Connection> createProbeConnection()
{
    requireWorkingLibrary();
    return std::make_unique<platform::Connection>();
}

std::unique_ptr<platform::Recordset> createProbeRecordset()
{
    requireWorkingLibrary();
    return std::make_unique<platform::Recordset>();
}

bool Is64BitWindows()
{
    const QString architecture = architectureSource()().toLower();
    // x86_64, arm64, aarch64, ia64, mips64, power64, ppc64le, riscv64...; two 64-bit
    // names carry no "64".
    return architecture.contains(QLatin1String("64")) || architecture == u"s390x" || architecture == u"sparcv9";
}

void setArchitectureSource(std::function<QString()> source)
{
    architectureSource() = source ? std::move(source) : realArchitecture;
}

QString repairPackagePath()
{
    bool is64 = false;
    try {
        is64 = Is64BitWindows();
    } catch (...) {
        // Not knowing counts as 32-bit.
    }
    return platform::programFolder() + (is64 ? QStringLiteral("/ADOFix64.msu") : QStringLiteral("/ADOFix86.msu"));
}

} // namespace data
