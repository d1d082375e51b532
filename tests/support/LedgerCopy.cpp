// Another copy of Tallyfold, for tests of what one copy does to the other: the ledger
// of the environment it inherits (XDG_DATA_HOME), over the program's own shared
// connection, driven one command a line on standard input, each answered with one line
// on standard output. What the copy would tell its user comes first, as "told: ...".
//
//   open           the shared connection opens the ledger      opened
//   add TEXT       a transaction described TEXT is added to    added | refused: ... | error: ...
//                  the first account
//   exec SQL       a Jet statement runs on the ledger          done N (rows changed) | refused: ... | error: ...
//   step SQL       the same, as a step of the copy's undo      done N | refused: ... | error: ...
//                  history, as a command of its user's
//   close          the connection closes                       closed | error: ...
//   quit           the copy ends
#include "data/Ledger.h"
#include "data/Undo.h"
#include "data/sqlite/Database.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

QString oneLine(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
}

void answer(const QString& line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Every message the copy would show its user, on standard output.
    data::setUserTeller([](const QString& message) { answer(QStringLiteral("told: ") + oneLine(message)); });
    QTextStream input(stdin);
    QString line;
    while (input.readLineInto(&line)) {
        const QString command = line.section(u' ', 0, 0);
        try {
            if (command == QLatin1String("open")) {
                data::createConnection();
                data::connection().Open(data::connectionString());
                answer(QStringLiteral("opened"));
            } else if (command == QLatin1String("add")) {
                data::connection().Execute(QStringLiteral("insert into Transactions (TransactionDate, "
                                                          "TransactionDescription, AccountID, WithdrawalAmount, "
                                                          "DepositAmount, Taxable) values ('2024-03-05', '%1', 1, 1, 0, 0)")
                                               .arg(line.section(u' ', 1)));
                answer(QStringLiteral("added"));
            } else if (command == QLatin1String("exec")) {
                const long long changed = data::connection().Execute(line.section(u' ', 1));
                answer(QStringLiteral("done %1").arg(changed));
            } else if (command == QLatin1String("step")) {
                const data::UndoStep step(QStringLiteral("Change in another copy"));
                const long long changed = data::connection().Execute(line.section(u' ', 1));
                answer(QStringLiteral("done %1").arg(changed));
            } else if (command == QLatin1String("close")) {
                data::connection().Close();
                data::releaseConnection();
                answer(QStringLiteral("closed"));
            } else if (command == QLatin1String("quit")) {
                break;
            } else {
                answer(QStringLiteral("error: unknown command ") + command);
            }
        } catch (const platform::FileRefusal& e) {
            answer(QStringLiteral("refused: ") + oneLine(e.description()));
        } catch (const std::exception& e) {
            answer(QStringLiteral("error: ") + oneLine(QString::fromUtf8(e.what())));
        }
    }
    data::releaseConnection();
    data::setUserTeller({});
    return 0;
}
