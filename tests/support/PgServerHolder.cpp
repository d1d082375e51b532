// Holds a throw-away PostgreSQL server for another process, for the tests of what two
// test binaries do to each other's servers: starts one in the base folder given as the
// argument, answers "started <socket folder>" (or "failed: <reason>") on standard
// output, and stops it when its standard input ends. Killed instead, it leaves the
// server behind, as a crashed test binary would.
#include "tests/support/PgServer.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: pgserver_holder BASE-FOLDER\n", stderr);
        return 2;
    }
    testing_support::PgServer server(QString::fromLocal8Bit(argv[1]));
    const QString why = server.start();
    const QString answer = why.isEmpty() ? QStringLiteral("started ") + server.socketDir()
                                         : QStringLiteral("failed: ") + QString(why).replace(u'\n', u' ');
    std::puts(answer.toLocal8Bit().constData());
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return why.isEmpty() ? 0 : 1;
}
