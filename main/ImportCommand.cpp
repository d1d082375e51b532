#include "main/ImportCommand.h"

#include "data/Backups.h"
#include "data/Ledger.h"
#include "importer/StatementReader.h"
#include "importing/CsvProfiles.h"
#include "importing/ImportPlan.h"
#include "importing/ImportWriter.h"
#include "importing/OtherAccounts.h"
#include "importing/StatementFile.h"
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
const QString kCreateAccount = QStringLiteral("create-account");
const QString kForce = QStringLiteral("force");

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

// Reads the statements as a script must have them: settled without questions.
QList<importing::AccountStatement> readForScript(const QString& file, const QString& profileName)
{
    QList<importing::AccountStatement> statements = importing::readAccountStatements(file);
    const importer::Statement& first = statements.front().statement;
    if (first.format == importer::Format::Csv) {
        std::optional<importer::CsvProfile> profile;
        if (!profileName.isEmpty()) {
            profile = importing::namedProfile(profileName);
            if (!profile)
                throw Refused(QStringLiteral("there is no saved CSV mapping named \"%1\".").arg(profileName));
        } else {
            profile = importing::profileForHeader(first.csvFingerprint);
        }
        if (profile) {
            importer::ReadOptions options;
            options.csvProfile = profile;
            statements = importing::readAccountStatements(file, options);
        }
    }
    for (const importing::AccountStatement& each : std::as_const(statements)) {
        const importer::Statement& statement = each.statement;
        if (statement.csvNeedsMapping)
            throw Refused(QStringLiteral("which columns hold the date and the amount cannot be told from the header "
                                         "(%1); name a saved CSV mapping with --profile NAME.")
                              .arg(statement.csvHeader.join(QStringLiteral(", "))));
        if (!statement.refusal.isEmpty())
            throw Refused(statement.refusal);
        if (statement.dateOrderAmbiguous())
            throw Refused(QStringLiteral("every date fits %1, so the file does not tell which it is; "
                                         "name a saved CSV mapping that settles it with --profile NAME.")
                              .arg(orders(statement.dateOrderCandidates)));
    }
    return statements;
}

// The account name given for each statement: one plain NAME for a file of one account,
// "ID=NAME" for each account of a file of several.
QStringList namesGiven(const QList<importing::AccountStatement>& statements, const QStringList& given)
{
    QStringList ids;
    for (const importing::AccountStatement& statement : statements)
        ids << statement.account.id;
    QStringList names;
    for (const QString& id : std::as_const(ids)) {
        QString name;
        for (const QString& value : given) {
            if (!id.isEmpty() && value.startsWith(id + u'='))
                name = value.mid(id.size() + 1);
        }
        if (name.isEmpty() && ids.size() == 1 && given.size() == 1)
            name = given.front();
        // An account with nothing in the statement (no activity this period) needs none.
        if (name.isEmpty() && ids.size() > 1 && statements[names.size()].statement.rows.isEmpty()) {
            names << QString();
            continue;
        }
        if (name.isEmpty() && ids.size() == 1)
            throw Refused(QStringLiteral("--account is given %1 times; a file of one account's statement takes it once.")
                              .arg(given.size()));
        if (name.isEmpty())
            throw Refused(QStringLiteral("the file holds statements of %1 accounts (%2); name the account to import "
                                         "each into with --account ID=NAME, once per account.")
                              .arg(ids.size())
                              .arg(ids.join(QStringLiteral(", "))));
        names << name;
    }
    return names;
}

// The account's number: the name as written, else the one account whose name differs in
// case alone; 0 for one to be made (--create-account). A script expects its typing
// mistake refused, not a new account made unasked.
qint64 accountFor(const QList<importing::LedgerAccount>& accounts, const QString& name, bool create)
{
    const qint64 found = importing::accountNamed(accounts, name);
    if (found > 0 || (found == 0 && create))
        return found;
    if (found < 0)
        throw Refused(QStringLiteral("more than one account is named \"%1\"; give each its own name first.").arg(name));
    QStringList names;
    for (const importing::LedgerAccount& account : accounts)
        names << u'"' + account.name + u'"';
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
    parser.addOption({kAccount,
                      QStringLiteral("The account --import imports into; for a file of several accounts' statements, "
                                     "ID=NAME once for each account id."),
                      QStringLiteral("name")});
    parser.addOption({kCreateAccount, QStringLiteral("Makes the account --account names when the ledger has none of "
                                                     "that name.")});
    parser.addOption({kProfile, QStringLiteral("The saved CSV mapping --import reads a CSV file with."),
                      QStringLiteral("name")});
    parser.addOption({kForce, QStringLiteral("Imports a statement whose rows are mostly in another account already.")});
}

std::optional<int> runImportOptions(const QCommandLineParser& parser)
{
    if (!parser.isSet(kImport))
        return std::nullopt;
    if (!parser.isSet(kAccount)) {
        print(stderr, QStringLiteral("tallyfold: --import needs --account NAME: the account to import into."));
        return 1;
    }
    return importStatementFile({parser.value(kImport), parser.values(kAccount), parser.value(kProfile),
                                parser.isSet(kCreateAccount), parser.isSet(kForce)});
}

int importStatementFile(const QString& file, const QString& account, const QString& profile)
{
    return importStatementFile({file, {account}, profile});
}

namespace {

// What the import did, on standard output; the rows it could not read on standard error.
void tellOutcome(const QString& fileName, const QList<importing::AccountStatement>& statements,
                 const QList<importing::ImportPlan>& plans, int added)
{
    int inLedger = 0, matched = 0, unreadable = 0;
    for (const importing::ImportPlan& plan : plans) {
        inLedger += plan.count(importing::RowStatus::InLedger);
        matched += plan.count(importing::RowStatus::PossibleMatch);
        unreadable += plan.count(importing::RowStatus::NotReadable);
    }
    print(stdout, QStringLiteral("%1 added, %2 already in the ledger, %3 not readable")
                      .arg(added).arg(inLedger + matched).arg(unreadable));
    if (matched > 0)
        print(stdout, QStringLiteral("%1 of those already in the ledger match a row typed by hand (the same "
                                     "amount within %2 days) and were not added.")
                          .arg(matched).arg(importing::kMatchDays));
    for (int i = 0; i < plans.size(); ++i) {
        const importing::ImportPlan& plan = plans[i];
        if (plan.closingDifference && *plan.closingDifference != 0) {
            const qint64 closing = plan.closing->cents;
            print(stdout, QStringLiteral("The statement's closing balance%1, %2, differs from the account's, %3, by %4.")
                              .arg(plan.closing->date.isValid()
                                       ? QStringLiteral(" on ") + plan.closing->date.toString(Qt::ISODate)
                                       : QString(),
                                   importer::centsText(closing), importer::centsText(closing - *plan.closingDifference),
                                   importer::centsText(*plan.closingDifference)));
        }
        for (const QString& note : statements[i].statement.notes)
            print(stdout, note);
        for (const importing::PlannedRow& row : plan.rows) {
            if (row.status == importing::RowStatus::NotReadable)
                print(stderr, QStringLiteral("tallyfold: %1, not imported: %2").arg(fileName, row.row.problem));
        }
    }
}

// Plans each statement into its account, refuses what a slip would double, makes the
// accounts asked for, and writes it all as one step.
void importInto(const ImportRequest& request, const QString& fileName,
                const QList<importing::AccountStatement>& statements)
{
    const QStringList names = namesGiven(statements, request.accounts);
    const QList<importing::LedgerAccount> accounts = importing::ledgerAccounts();
    QList<importing::ImportPlan> plans;
    for (int i = 0; i < statements.size(); ++i) {
        const qint64 id = names[i].isEmpty() ? 0 : accountFor(accounts, names[i], request.createAccounts);
        plans.append(importing::planImport(statements[i].statement, id, fileName));
        if (request.force)
            continue;
        if (const QString other = importing::accountHoldingMost(plans.last()); !other.isEmpty())
            throw Refused(importing::heldElsewhereText(other, names[i])
                          + QStringLiteral(" Give --force to import them all the same."));
    }
    // The file's check, started as the ledger opened, ran while the plans were made; a
    // damaged file is refused here, before the first write.
    requireSoundLedger();
    // Made only now, when nothing else refuses; an account that is new holds nothing, so
    // its plan stands as it was made.
    for (int i = 0; i < plans.size(); ++i) {
        if (plans[i].accountId != 0 || names[i].isEmpty())
            continue;
        plans[i].accountId = importing::accountNamed(importing::ledgerAccounts(), names[i]);
        if (plans[i].accountId == 0)
            plans[i].accountId = importing::createAccount(names[i]);
    }
    const int added = importing::writeImports(plans, importing::Matches::Skip);
    tellOutcome(fileName, statements, plans, added);
}

} // namespace

int importStatementFile(const ImportRequest& request)
{
    const QString fileName = QFileInfo(request.file).fileName();
    Console console;
    int status = 1;
    try {
        const QList<importing::AccountStatement> statements = readForScript(request.file, request.profile);
        if (openLedger(console.dialogs)) {
            importInto(request, fileName, statements);
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
