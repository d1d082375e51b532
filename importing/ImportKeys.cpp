#include "importing/ImportKeys.h"

#include <QCryptographicHash>
#include <QHash>

namespace importing {

namespace {
const QString kFitId = QStringLiteral("fitid:");
const QString kReference = QStringLiteral("ref:");
const QString kDigest = QStringLiteral("row:");
} // namespace

QString normalisedDescription(const QString& description)
{
    return description.simplified().toCaseFolded();
}

QStringList importKeys(const importer::Statement& statement)
{
    QStringList keys;
    keys.reserve(statement.rows.size());
    QHash<QByteArray, int> seen;   // digest -> how often so far
    for (const importer::Row& row : statement.rows) {
        if (!row.readable()) {
            keys << QString();
            continue;
        }
        if (!row.reference.isEmpty() && statement.format == importer::Format::Ofx) {
            keys << kFitId + row.reference;
            continue;
        }
        if (!row.reference.isEmpty() && statement.format == importer::Format::Camt) {
            keys << kReference + row.reference;
            continue;
        }
        // The date is in the digest, so counting a digest's occurrences counts them
        // within its day.
        const QByteArray text = row.date.toString(Qt::ISODate).toUtf8() + '|' + QByteArray::number(row.cents) + '|'
            + normalisedDescription(row.description).toUtf8();
        const QByteArray digest = QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(32);
        const int occurrence = ++seen[digest];
        keys << kDigest + QString::fromLatin1(digest) + u'#' + QString::number(occurrence);
    }
    return keys;
}

bool isBankId(const QString& key)
{
    return key.startsWith(kFitId) || key.startsWith(kReference);
}

} // namespace importing
