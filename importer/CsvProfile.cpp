#include "importer/CsvProfile.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <array>

namespace importer {

namespace {

// Names as normalisedHeaderName leaves them.
const QStringList kDateNames = {
    "date", "datum", "buchungstag", "buchungsdatum", "buchung", "transactiondate", "posteddate",
    "postingdate", "bookingdate", "datedoperation", "datedeloperation", "dateoperation",
    "transdate", "trandate", "completeddate", "datecomptable"};
const QStringList kValueDateNames = {
    "valuta", "valutadatum", "wertstellung", "wertstellungsdatum", "valuedate", "datevaleur",
    "datedevaleur", "valeur"};
const QStringList kAmountNames = {
    "amount", "betrag", "montant", "umsatz", "transactionamount", "value", "wert", "amt"};
const QStringList kWithdrawalNames = {
    "debit", "debits", "withdrawal", "withdrawals", "soll", "debitamount", "paidout", "moneyout",
    "ausgang", "ausgaben", "belastung", "sollbetrag", "betragsoll", "out"};
const QStringList kDepositNames = {
    "credit", "credits", "deposit", "deposits", "haben", "creditamount", "paidin", "moneyin",
    "eingang", "einnahmen", "gutschrift", "habenbetrag", "betraghaben", "in"};
const QStringList kIndicatorNames = {
    "sh", "dc", "cd", "sollhaben", "debitcredit", "creditdebit", "cdtdbtind", "creditdebitindicator",
    "sign", "vorzeichen", "indicator", "kennzeichen", "drcr", "crdr", "sens"};
const QStringList kPayeeNames = {
    "payee", "name", "empfanger", "empfaenger", "auftraggeberempfanger", "auftraggeberempfaenger",
    "beguenstigterzahlungspflichtiger", "begunstigterzahlungspflichtiger", "zahlungsempfanger",
    "namezahlungsbeteiligter", "counterparty", "merchant", "beneficiaire", "auftraggeber", "partner",
    "payeename", "beneficiary", "tiers", "gegenkonto", "description1"};
const QStringList kMemoNames = {
    "description", "memo", "verwendungszweck", "details", "narrative", "purpose", "libelle",
    "libelleoperation", "detail", "text", "buchungsdetails", "transactiondetails", "motif",
    "informations", "notes", "description2"};
const QStringList kCurrencyNames = {"currency", "wahrung", "waehrung", "devise", "ccy"};

int firstColumn(const QStringList& names, const QStringList& wanted, const QList<bool>& taken)
{
    for (const QString& w : wanted)
        for (qsizetype i = 0; i < names.size(); ++i)
            if (!taken.at(i) && names.at(i) == w)
                return int(i);
    return -1;
}

int amountColumnOf(const QStringList& names, const QList<bool>& taken)
{
    if (const int exact = firstColumn(names, kAmountNames, taken); exact >= 0)
        return exact;
    // "Betrag in EUR", "Amount GBP", "Montant en euros".
    for (qsizetype i = 0; i < names.size(); ++i)
        for (const char* stem : {"betrag", "amount", "montant"})
            if (!taken.at(i) && names.at(i).startsWith(QLatin1String(stem)))
                return int(i);
    return -1;
}

QString charText(QChar c)
{
    return c.isNull() ? QString() : QString(c);
}

QChar textChar(const QString& s)
{
    return s.isEmpty() ? QChar() : s.at(0);
}

} // namespace

AmountModel CsvProfile::amountModel() const
{
    if (amountColumn >= 0)
        return indicatorColumn >= 0 ? AmountModel::Indicator : AmountModel::Signed;
    if (withdrawalColumn >= 0 || depositColumn >= 0)
        return AmountModel::WithdrawalDeposit;
    return AmountModel::None;
}

QString CsvProfile::toString() const
{
    QJsonArray description;
    for (const int c : descriptionColumns)
        description.append(c);
    QJsonObject o{{"v", 1},
                  {"delimiter", charText(delimiter)},
                  {"encoding", encoding},
                  {"decimal", charText(decimal)},
                  {"headerLine", headerLine},
                  {"dateOrder", dateOrder ? int(*dateOrder) : -1},
                  {"date", dateColumn},
                  {"amount", amountColumn},
                  {"withdrawal", withdrawalColumn},
                  {"deposit", depositColumn},
                  {"indicator", indicatorColumn},
                  {"description", description},
                  {"currency", currencyColumn},
                  {"invertSigns", invertSigns}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<CsvProfile> CsvProfile::fromString(const QString& text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    if (o.value("v").toInt() != 1)
        return std::nullopt;
    bool ok = true;
    auto column = [&](const char* key) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble() || v.toInt(-2) < -1)
            ok = false;
        return v.toInt(-1);
    };
    CsvProfile p;
    p.delimiter = textChar(o.value("delimiter").toString());
    p.encoding = o.value("encoding").toString();
    p.decimal = textChar(o.value("decimal").toString());
    p.headerLine = std::max(0, o.value("headerLine").toInt());
    const int order = column("dateOrder");
    if (order > int(DateOrder::YearMonthDay))
        ok = false;
    else if (order >= 0)
        p.dateOrder = DateOrder(order);
    p.dateColumn = column("date");
    p.amountColumn = column("amount");
    p.withdrawalColumn = column("withdrawal");
    p.depositColumn = column("deposit");
    p.indicatorColumn = column("indicator");
    p.currencyColumn = column("currency");
    for (const QJsonValue v : o.value("description").toArray()) {
        if (!v.isDouble() || v.toInt(-1) < 0)
            ok = false;
        p.descriptionColumns.append(v.toInt());
    }
    p.invertSigns = o.value("invertSigns").toBool();
    if (!ok)
        return std::nullopt;
    return p;
}

QString normalisedHeaderName(const QString& name)
{
    QString n = name.toLower();
    // "Betrag (EUR)", "Amount [GBP]": the note in brackets does not name the column.
    static const QRegularExpression brackets(QStringLiteral("[(\\[][^)\\]]*[)\\]]"));
    n.remove(brackets);
    n.replace(QChar(0x00DF), QStringLiteral("ss"));
    n = n.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(n.size());
    for (const QChar c : std::as_const(n))
        if (c.isLetterOrNumber())
            out.append(c);
    return out;
}

QString headerFingerprint(const QStringList& header)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& name : header) {
        hash.addData(normalisedHeaderName(name).toUtf8());
        hash.addData(QByteArrayView("\x1f", 1));
    }
    return QString::fromLatin1(hash.result().toHex().left(16));
}

CsvProfile mappingFromHeader(const QStringList& header)
{
    QStringList names;
    for (const QString& h : header)
        names.append(normalisedHeaderName(h));
    QList<bool> taken(names.size(), false);
    auto take = [&](int column) {
        if (column >= 0)
            taken[column] = true;
        return column;
    };
    CsvProfile p;
    p.dateColumn = take(firstColumn(names, kDateNames, taken));
    const int valueDate = take(firstColumn(names, kValueDateNames, taken));
    if (p.dateColumn < 0)
        p.dateColumn = valueDate;
    p.indicatorColumn = take(firstColumn(names, kIndicatorNames, taken));
    p.amountColumn = take(amountColumnOf(names, taken));
    if (p.amountColumn < 0) {
        p.indicatorColumn = -1;
        p.withdrawalColumn = take(firstColumn(names, kWithdrawalNames, taken));
        p.depositColumn = take(firstColumn(names, kDepositNames, taken));
    }
    p.currencyColumn = take(firstColumn(names, kCurrencyNames, taken));
    if (const int payee = take(firstColumn(names, kPayeeNames, taken)); payee >= 0)
        p.descriptionColumns.append(payee);
    if (const int memo = take(firstColumn(names, kMemoNames, taken)); memo >= 0)
        p.descriptionColumns.append(memo);
    return p;
}

int indicatorSign(const QString& value)
{
    const QString v = value.trimmed().toLower();
    static const QStringList kCredit = {"c", "cr", "crdt", "credit", "h", "haben", "+", "gutschrift", "crédit", "in"};
    static const QStringList kDebit = {"d", "dr", "dbit", "debit", "s", "soll", "-", "lastschrift", "débit", "out"};
    if (kCredit.contains(v))
        return 1;
    if (kDebit.contains(v))
        return -1;
    return 0;
}

} // namespace importer
