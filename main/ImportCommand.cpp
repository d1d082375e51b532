#include "main/ImportCommand.h"

#include "data/Backups.h"
#include "data/Ledger.h"
#include "importer/StatementReader.h"
#include "importing/CsvProfiles.h"
#include "importing/ImportPlan.h"
#include "importing/ImportWriter.h"
#include "main/ConsoleDialogs.h"
#include "main/LedgerCommand.h"
#include "shell/ErrorTrap.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <cstring>

namespace mainwindow {

namespace {

const QString kImport = QStringLiteral("import");
const QString kAccount = QStringLiteral("account");
const QString kProfile = QStringLiteral("profile");

// Why the import cannot go on without a person to answer: nothing has been written.
class Refused : public std::runtime_error {
public:
    explicit Refused(const QString& reason) : std::runtime_error(reason.toStdString()) {}
    QString reason() const { return QString::fromStdString(what()); }
};

void print(FILE* to, const QString& text)
{
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

QString orders(const QList<importer::DateOrder>& candidates)
{
    QStringList names;
    for (importer::DateOrder order : candidates)
        names << importer::dateOrderName(order);
    return names.join(QStringLiteral(" or "));
}

// Reads the statement as a script must have it: settled without questions.
importer::Statement readForScript(const QString& file, const QString& profileName)
{
    importer::Statement statement = importer::readStatementFile(file);
    if (statement.format == importer::Format::Csv) {
        std::optional<importer::CsvProfile> profile;
        if (!profileName.isEmpty()) {
            profile = importing::namedProfile(profileName);
            if (!profile)
                throw Refused(QStringLiteral("there is no saved CSV mapping named \"%1\".").arg(profileName));
        } else {
            profile = importing::profileForHeader(statement.csvFingerprint);
        }
        if (profile) {
            importer::ReadOptions options;
            options.csvProfile = profile;
            statement = importer::readStatementFile(file, options);
        }
    }
    if (statement.csvNeedsMapping)
        throw Refused(QStringLiteral("which columns hold the date and the amount cannot be told from the header (%1); "
                                     "name a saved CSV mapping with --profile NAME.")
                          .arg(statement.csvHeader.join(QStringLiteral(", "))));
    if (!statement.refusal.isEmpty())
        throw Refused(statement.refusal);
    if (statement.dateOrderAmbiguous())
        throw Refused(QStringLiteral("every date fits %1, so the file does not tell which it is; "
                                     "name a saved CSV mapping that settles it with --profile NAME.")
                          .arg(orders(statement.dateOrderCandidates)));
    return statement;
}

// The account's number: the name as written, else the one account whose name differs in
// case alone. A script expects its typing mistake refused, not a new account made.
qint64 accountNamed(const QString& name)
{
    data::Recordset rs;
    rs.Open(QStringLiteral("select AccountID, AccountName from Accounts order by AccountName"), data::connection());
    QStringList names;
    QList<qint64> exact, folded;
    for (; !rs.eof(); rs.MoveNext()) {
        const QString accountName = rs.Fields(u"AccountName").Value().toString();
        const qint64 id = rs.Fields(u"AccountID").Value().toLongLong();
        names << u'"' + accountName + u'"';
        if (accountName == name)
            exact << id;
        else if (accountName.compare(name, Qt::CaseInsensitive) == 0)
            folded << id;
    }
    const QList<qint64>& found = exact.isEmpty() ? folded : exact;
    if (found.size() == 1)
        return found.front();
    if (found.size() > 1)
        throw Refused(QStringLiteral("more than one account is named \"%1\"; give each its own name first.").arg(name));
    throw Refused(names.isEmpty()
                      ? QStringLiteral("there is no account named \"%1\": the ledger has no accounts.").arg(name)
                      : QStringLiteral("there is no account named \"%1\". The accounts are: %2.")
                            .arg(name, names.join(QStringLiteral(", "))));
}

// Opens the ledger as the start-up does (its folder, the backup, a migration), without
// the window; false when that was told on standard error.
bool openLedger(const ConsoleDialogs& console)
{
    shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    data::prepareDataFolder(trap);
    trap.run(144, [] { data::createConnection(); });
    trap.run(146, [] {
        data::backUpAtStart();
        data::connection().Open(data::connectionString());
        data::checkLedgerInBackground();   // checked while the plan is made
    });
    return console.shown() == 0 && data::hasConnection()
        && data::connection().State() == data::Connection::adStateOpen;
}

} // namespace

bool importRunsWithoutWindows(const char* argument)
{
    return std::strcmp(argument, "--import") == 0 || std::strncmp(argument, "--import=", 9) == 0;
}

void addImportOptions(QCommandLineParser& parser)
{
    parser.addOption({kImport,
                      QStringLiteral("Imports the bank or card statement <file> (OFX, QFX, QIF, CSV, CAMT.053) into "
                                     "the account named by --account and exits, showing no window."),
                      QStringLiteral("file")});
    parser.addOption({kAccount, QStringLiteral("The account --import imports into."), QStringLiteral("name")});
    parser.addOption({kProfile, QStringLiteral("The saved CSV mapping --import reads a CSV file with."),
                      QStringLiteral("name")});
}

std::optional<int> runImportOptions(const QCommandLineParser& parser)
{
    if (!parser.isSet(kImport))
        return std::nullopt;
    if (!parser.isSet(kAccount)) {
        print(stderr, QStringLiteral("tallyfold: --import needs --account NAME: the account to import into."));
        return 1;
    }
    return importStatementFile(parser.value(kImport), parser.value(kAccount), parser.value(kProfile));
}

int importStatementFile(const QString& file, const QString& account, const QString& profile)
{
    const QString fileName = QFileInfo(file).fileName();
    Console console;
    int status = 1;
    try {
        const importer::Statement statement = readForScript(file, profile);
        if (openLedger(console.dialogs)) {
            requireSoundLedger();
            // Planned under the ledger's write lock: another import of the same statement
            // at the same moment finds these rows already in the ledger, or this one finds its.
            const importing::Imported imported =
                importing::importStatement(statement, accountNamed(account), fileName, importing::Matches::Skip);
            const importing::ImportPlan& plan = imported.plan;
            const int added = imported.added;
            const int matched = plan.count(importing::RowStatus::PossibleMatch);
            print(stdout, QStringLiteral("%1 added, %2 already in the ledger, %3 not readable")
                              .arg(added)
                              .arg(plan.count(importing::RowStatus::InLedger) + matched)
                              .arg(plan.count(importing::RowStatus::NotReadable)));
            if (matched > 0)
                print(stdout, QStringLiteral("%1 of those already in the ledger match a row typed by hand (the same "
                                             "amount within %2 days) and were not added.")
                                  .arg(matched).arg(importing::kMatchDays));
            if (plan.closingDifference && *plan.closingDifference != 0) {
                const qint64 closing = plan.closing->cents;
                print(stdout, QStringLiteral("The statement's closing balance%1, %2, differs from the account's, %3, by %4.")
                                  .arg(plan.closing->date.isValid()
                                           ? QStringLiteral(" on ") + plan.closing->date.toString(Qt::ISODate)
                                           : QString(),
                                       importer::centsText(closing), importer::centsText(closing - *plan.closingDifference),
                                       importer::centsText(*plan.closingDifference)));
            }
            for (const QString& note : statement.notes)
                print(stdout, note);
            for (const importing::PlannedRow& row : plan.rows) {
                if (row.status == importing::RowStatus::NotReadable)
                    print(stderr, QStringLiteral("tallyfold: %1, not imported: %2").arg(fileName, row.row.problem));
            }
            status = 0;
        }
    } catch (const Refused& refused) {
        print(stderr, QStringLiteral("tallyfold: nothing was imported from %1: %2").arg(fileName, refused.reason()));
    } catch (const platform::AppError& error) {
        print(stderr, QStringLiteral("tallyfold: nothing was imported from %1: %2").arg(fileName, error.description()));
    }
    if (status != 0 && console.dialogs.shown() > 0)
        print(stderr, QStringLiteral("tallyfold: nothing was imported from %1.").arg(fileName));
    data::releaseConnection();
    return status;
}

} // namespace mainwindow
