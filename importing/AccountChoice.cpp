#include "importing/AccountChoice.h"

#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "data/StepNames.h"
#include "data/Undo.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace importing {

namespace {

// Case folded, every run of what is neither letter nor digit one space: "Visa …6789"
// and "visa 6789" read alike.
QString words(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text.toCaseFolded())
        out += c.isLetterOrNumber() ? c : u' ';
    return u' ' + out.simplified() + u' ';
}

bool hasWords(const QString& name, const QString& phrase)
{
    const QString wanted = words(phrase);
    return wanted.size() > 2 && words(name).contains(wanted);
}

// An account number is matched whole (spaces aside, as IBANs are written in groups) or
// by its last four digits, as banks print it ("Checking ...6789").
bool namesId(const QString& name, const QString& id)
{
    QString compactId = id.toCaseFolded();
    compactId.remove(u' ');
    if (compactId.isEmpty())
        return false;
    QString compactName = name.toCaseFolded();
    compactName.remove(u' ');
    if (compactId.size() >= 4 && compactName.contains(compactId))
        return true;
    static const QRegularExpression lastFour(QStringLiteral("(\\d{4})$"));
    const QRegularExpressionMatch digits = lastFour.match(compactId);
    if (!digits.hasMatch())
        return false;
    const QRegularExpression inName(QStringLiteral("(?<!\\d)") + digits.captured(1) + QStringLiteral("(?!\\d)"));
    return inName.match(name).hasMatch();
}

// The words an account of that type is usually called by.
QStringList typeWords(const QString& type)
{
    const QString t = type.trimmed().toUpper();
    if (t == u"CHECKING" || t == u"CACC") return {QStringLiteral("checking"), QStringLiteral("current")};
    if (t == u"SAVINGS" || t == u"SVGS") return {QStringLiteral("savings"), QStringLiteral("saving")};
    if (t == u"MONEYMRKT") return {QStringLiteral("money market")};
    if (t == u"CREDITLINE") return {QStringLiteral("credit line"), QStringLiteral("line of credit")};
    if (t == u"CREDITCARD" || t == u"CARD") return {QStringLiteral("credit card"), QStringLiteral("card")};
    return t.isEmpty() ? QStringList() : QStringList{type};
}

QString typeTitle(const QString& type)
{
    const QStringList known = typeWords(type);
    if (known.isEmpty())
        return {};
    QString title = known.front();
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (i == 0 || title.at(i - 1) == u' ')
            title[i] = title.at(i).toUpper();
    }
    return title;
}

// The one account `matches` picks, 0 for none or several.
template <typename Match>
qint64 onlyOne(const QList<LedgerAccount>& accounts, Match matches)
{
    qint64 found = 0;
    for (const LedgerAccount& account : accounts) {
        if (!matches(account.name))
            continue;
        if (found != 0)
            return 0;
        found = account.id;
    }
    return found;
}

} // namespace

QList<LedgerAccount> ledgerAccounts()
{
    QList<LedgerAccount> accounts;
    data::Recordset rs;
    rs.Open(QStringLiteral("select AccountID, AccountName from Accounts order by AccountName"), data::connection());
    for (; !rs.eof(); rs.MoveNext())
        accounts.append({rs.Fields(u"AccountID").Value().toLongLong(), rs.Fields(u"AccountName").Value().toString()});
    return accounts;
}

qint64 suggestedAccount(const QList<LedgerAccount>& accounts, qint64 remembered, const StatementAccount& statement)
{
    if (remembered != 0
        && std::any_of(accounts.begin(), accounts.end(), [&](const LedgerAccount& a) { return a.id == remembered; }))
        return remembered;
    if (const qint64 byId = onlyOne(accounts, [&](const QString& name) { return namesId(name, statement.id); }))
        return byId;
    for (const QString& word : typeWords(statement.type)) {
        if (const qint64 byType = onlyOne(accounts, [&](const QString& name) { return hasWords(name, word); }))
            return byType;
    }
    const QString file = QFileInfo(statement.fileName).completeBaseName();
    return onlyOne(accounts, [&](const QString& name) { return hasWords(file, name); });
}

QString proposedAccountName(const StatementAccount& statement)
{
    const QString id = statement.id.simplified();
    const QString tail = id.size() > 4 ? id.right(4) : id;
    const QString type = typeTitle(statement.type);
    if (!type.isEmpty() || !tail.isEmpty())
        return (type.isEmpty() ? QStringLiteral("Account") : type) + (tail.isEmpty() ? QString() : u' ' + tail);
    return QFileInfo(statement.fileName).completeBaseName();
}

qint64 accountNamed(const QList<LedgerAccount>& accounts, const QString& name)
{
    QList<qint64> exact, folded;
    for (const LedgerAccount& account : accounts) {
        if (account.name == name)
            exact << account.id;
        else if (account.name.compare(name, Qt::CaseInsensitive) == 0)
            folded << account.id;
    }
    const QList<qint64>& found = exact.isEmpty() ? folded : exact;
    return found.isEmpty() ? 0 : found.size() == 1 ? found.front() : -1;
}

qint64 createAccount(const QString& name)
{
    {
        const data::UndoStep step(data::steps::addAccount(name));
        data::connection().Execute(QStringLiteral("insert into Accounts (AccountName) values ('")
                                   + data::sql::quoted(name) + QStringLiteral("')"));
    }
    data::Recordset rs;
    rs.Open(QStringLiteral("select max(AccountID) as Id from Accounts where AccountName = '%1'")
                .arg(data::sql::quoted(name)),
            data::connection());
    return rs.eof() ? 0 : rs.Fields(u"Id").Value().toLongLong();
}

} // namespace importing
