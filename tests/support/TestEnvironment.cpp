#include "tests/support/TestEnvironment.h"

#include "platform/AppPaths.h"
#include "data/sqlite/Database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <sqlite3.h>

#ifndef TALLYFOLD_TEMPLATE
#error "TALLYFOLD_TEMPLATE must name the built dbBlank.mdb"
#endif

namespace testing_support {

TestEnvironment::TestEnvironment()
{
    m_oldData = qgetenv("XDG_DATA_HOME");
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    m_oldHome = qgetenv("HOME");
    QDir().mkpath(dataHome());
    QDir().mkpath(configHome());
    QDir().mkpath(programFolder());
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    qputenv("HOME", root().toUtf8());
    QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), programFolder() + QStringLiteral("/dbBlank.mdb"));
    platform::setProgramFolder(programFolder());
}

TestEnvironment::~TestEnvironment()
{
    platform::setProgramFolder(QString());
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("HOME", m_oldHome);
}

QString TestEnvironment::workingDatabase() const
{
    return dataHome() + QStringLiteral("/Marlowick/Tallyfold/dbData.mdb");
}

void TestEnvironment::addSideFile(const QString& name) const
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYFOLD_BUILT_PROGRAM_DIR "/") + name, programFolder() + u'/' + name))
        << name.toStdString();
}

void TestEnvironment::writeProgramFile(const QString& relativePath, const QByteArray& content) const
{
    const QString path = programFolder() + u'/' + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

QString TestEnvironment::connectionString() const
{
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + workingDatabase()
        + QStringLiteral(";JET OLEDB:Database Password=");
}

void TestEnvironment::placeLedger()
{
    QDir().mkpath(dataHome() + QStringLiteral("/Marlowick/Tallyfold"));
    if (QFile::exists(workingDatabase()))
        return;
    ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYFOLD_TEMPLATE), workingDatabase()));
    QFile::setPermissions(workingDatabase(), QFile::ReadOwner | QFile::WriteOwner);
    platform::Connection first;
    first.Open(connectionString());
}

void TestEnvironment::seedLedger(const QString& account, int transactions)
{
    placeLedger();
    platform::Connection running;
    running.Open(connectionString());
    addAccount(account);
    if (transactions > 0)
        sqlite(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                              "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                              "WithdrawalAmount,DepositAmount,Taxable) select '2024-01-01', 'row ' || i, 1, i, 0, 0 "
                              "from n").arg(transactions));
}

void TestEnvironment::sqlite(const QString& sql) const
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(workingDatabase().toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message << " in " << sql.toStdString();
}

qint64 TestEnvironment::addAccount(const QString& name) const
{
    sqlite(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(name));
    return std::stoll(rows(QStringLiteral("select max(AccountID) from Accounts")));
}

qint64 TestEnvironment::addTransaction(const QString& values) const
{
    sqlite(QStringLiteral("insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                          "WithdrawalAmount,DepositAmount,Taxable) values (%1)")
               .arg(values));
    return std::stoll(rows(QStringLiteral("select max(TransactionNumber) from Transactions")));
}

std::string TestEnvironment::rowsOf(const QString& file, const QString& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    std::string out;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        out += out.empty() ? "" : "; ";
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            out += (c ? "|" : "") + std::string(text ? text : "NULL");
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

ScopedVariable::ScopedVariable(const char* name)
    : m_name(name), m_was(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name))
{
}

ScopedVariable::~ScopedVariable()
{
    set(m_wasSet ? m_was.constData() : nullptr);
}

void ScopedVariable::set(const char* value)
{
    if (value)
        qputenv(m_name, value);
    else
        qunsetenv(m_name);
}

void zeroPage(const QString& path, int page)
{
    constexpr qint64 kPageSize = 4096;   // the template's
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_GE(file.size(), page * kPageSize);
    file.seek((page - 1) * kPageSize);
    file.write(QByteArray(kPageSize, '\0'));
}

TestEnvironment::Run TestEnvironment::runWithoutScreen(const QString& program, const QStringList& arguments,
                                                       const QStringList& more) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    for (const char* screen : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(screen));
    for (const QString& variable : more)
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    Run run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString TestEnvironment::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = root() + u'/' + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    EXPECT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
    return path;
}

} // namespace testing_support
