#include "importing/ImportKeys.h"

#include <QCryptographicHash>
#include <cstring>
#include <unordered_map>

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

namespace {

// normalisedDescription() as UTF-8, appended: most descriptions are ASCII, folded here
// byte by byte exactly as simplified() and toCaseFolded() fold them; any other goes
// through those.
void appendNormalised(QByteArray& to, const QString& description)
{
    const qsizetype start = to.size();
    bool pendingSpace = false;
    for (const QChar c : description) {
        const char16_t u = c.unicode();
        if (u >= 0x80) {
            to.truncate(start);
            to += normalisedDescription(description).toUtf8();
            return;
        }
        if (u == ' ' || (u >= '\t' && u <= '\r')) {
            pendingSpace = to.size() > start;
            continue;
        }
        if (pendingSpace)
            to += ' ';
        pendingSpace = false;
        to += char(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    }
}

// The first 16 bytes of a row's digest, which its key spells in hex.
struct Digest {
    quint64 high = 0;
    quint64 low = 0;
    bool operator==(const Digest&) const = default;
};

struct DigestHash {
    size_t operator()(const Digest& d) const { return size_t(d.high ^ (d.low * 0x9e3779b97f4a7c15ULL)); }
};

void appendDigits(QByteArray& to, int value, int width)
{
    char digits[4];
    for (int k = width - 1; k >= 0; --k, value /= 10)
        digits[k] = char('0' + value % 10);
    to.append(digits, width);
}

} // namespace

QStringList importKeys(const importer::Statement& statement)
{
    QStringList keys;
    keys.reserve(statement.rows.size());
    std::unordered_map<Digest, int, DigestHash> seen;   // digest -> how often so far
    seen.reserve(size_t(statement.rows.size()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray text;
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
        // within its day. The text: "yyyy-MM-dd|cents|description".
        text.truncate(0);
        int year = 0, month = 0, day = 0;
        row.date.getDate(&year, &month, &day);
        if (year >= 0 && year <= 9999) {
            appendDigits(text, year, 4);
            text += '-';
            appendDigits(text, month, 2);
            text += '-';
            appendDigits(text, day, 2);
        } else {
            text += row.date.toString(Qt::ISODate).toUtf8();
        }
        text += '|';
        text += QByteArray::number(row.cents);
        text += '|';
        appendNormalised(text, row.description);
        hash.reset();
        hash.addData(text);
        const QByteArrayView result = hash.resultView();
        Digest digest;
        std::memcpy(&digest.high, result.data(), 8);
        std::memcpy(&digest.low, result.data() + 8, 8);
        const int occurrence = ++seen[digest];
        keys << kDigest + QString::fromLatin1(result.first(16).toByteArray().toHex()) + u'#'
                + QString::number(occurrence);
    }
    return keys;
}

bool isBankId(const QString& key)
{
    return key.startsWith(kFitId) || key.startsWith(kReference);
}

} // namespace importing
