#include "tests/support/TestCertificates.h"

#include "tests/support/PgProgram.h"

#include <QDir>

namespace testing_support {

namespace {

// openssl req making a new key `name`.key and its certificate `name`.crt, valid long
// enough for any test run.
QString request(const QString& folder, const QString& name, const QString& subject, const QStringList& more)
{
    const pg::ProgramRun run = pg::runProgram(
        QStringLiteral("openssl"),
        QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                    QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                    QStringLiteral("-nodes"), QStringLiteral("-keyout"), name + QStringLiteral(".key"),
                    QStringLiteral("-out"), name + QStringLiteral(".crt"), QStringLiteral("-days"),
                    QStringLiteral("30"), QStringLiteral("-subj"), subject} +
            more,
        folder);
    return run.ok ? QString() : QStringLiteral("openssl cannot make %1.crt: %2").arg(name, run.output);
}

} // namespace

QString makeCertificateAuthority(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 cannot be made").arg(folder);
    return request(folder, QStringLiteral("ca"), QStringLiteral("/CN=Tallyfold test authority"),
                   {QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                    QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

QString makeLocalhostCertificate(const QString& authorityFolder, const QString& folder)
{
    return request(folder, QStringLiteral("server"), QStringLiteral("/CN=localhost"),
                   {QStringLiteral("-CA"), authorityFolder + QStringLiteral("/ca.crt"), QStringLiteral("-CAkey"),
                    authorityFolder + QStringLiteral("/ca.key"), QStringLiteral("-addext"),
                    QStringLiteral("subjectAltName=DNS:localhost"), QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:FALSE")});
}

} // namespace testing_support
