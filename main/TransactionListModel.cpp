#include "main/TransactionListModel.h"

#include "currency/AmountFormat.h"
#include "platform/AppError.h"
#include "platform/Conversions.h"

#include <QDateTime>
#include <algorithm>
#include <bit>
#include <numeric>

namespace mainwindow {

namespace {
const QString kYes = QStringLiteral("Yes");
const QString kNo = QStringLiteral("No");
constexpr qint64 kSecondsPerDay = 86400;
} // namespace

TransactionListModel::TransactionListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TransactionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shownCount();
}

int TransactionListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant TransactionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shownCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return cellText(addedAt(index.row()), index.column());
    case Qt::CheckStateRole:
        if (index.column() == IdColumn)
            return rowAt(index.row()).checked ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool TransactionListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != IdColumn || role != Qt::CheckStateRole || index.row() >= shownCount())
        return false;
    m_rows[size_t(addedAt(index.row()))].checked = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant TransactionListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headers.value(section);
    return {};
}

Qt::ItemFlags TransactionListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == IdColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void TransactionListModel::addColumn(const QString& header)
{
    const int at = int(m_headers.size());
    beginInsertColumns({}, at, at);
    m_headers.append(header);
    endInsertColumns();
}

void TransactionListModel::clear()
{
    beginResetModel();
    keepShownAcrossReload();
    m_rows.clear();
    m_order.clear();
    m_published = 0;
    m_texts.clear();
    m_dateByDay.clear();
    m_accountById.clear();
    m_textIndex.clear();
    m_oddIds.clear();
    m_moments.clear();
    endResetModel();
}

void TransactionListModel::add(const QVariant& transactionNumber)
{
    m_rows.append();
    bool whole = false;
    m_rows.back().id = transactionNumber.toLongLong(&whole);
    if (whole && transactionNumber.typeId() != QMetaType::Double)
        return;
    const int at = int(m_rows.size()) - 1;
    if (!transactionNumber.isValid() || transactionNumber.isNull()) {
        m_oddIds.insert(at, OddId{QString(), true, std::nullopt});
        throw platform::AppError(QStringLiteral("Invalid use of Null"));
    }
    OddId odd{platform::valueText(transactionNumber), false, std::nullopt};
    odd.value = transactionNumber.typeId() == QMetaType::Double
        ? std::optional<double>(transactionNumber.toDouble())
        : platform::parseNumber(transactionNumber.toString());
    m_oddIds.insert(at, std::move(odd));
}

const QString& TransactionListModel::sharedText(qint32 index) const
{
    static const QString empty;
    return index < 0 ? empty : m_texts[size_t(index)];
}

namespace {
template <class Key>
qint32 intern(std::vector<QString>& texts, QHash<Key, qint32>& index, const Key& key, const QString& text)
{
    if (const auto it = index.constFind(key); it != index.constEnd())
        return *it;
    texts.push_back(text);
    const qint32 at = qint32(texts.size()) - 1;
    index.insert(key, at);
    return at;
}
} // namespace

void TransactionListModel::setDate(const QVariant& value)
{
    // Most rows share a handful of dates: each day is formatted once and its text shared.
    if (value.typeId() == QMetaType::QDate) {
        const qint64 day = value.toDate().toJulianDay();
        if (const auto it = m_dateByDay.constFind(day); it != m_dateByDay.constEnd()) {
            m_rows.back().date = *it;
            return;
        }
        const qint32 text = intern(m_texts, m_dateByDay, day, platform::dateText(value));
        noteMoment(text, day * kSecondsPerDay);
        m_rows.back().date = text;
        return;
    }
    const QString text = platform::valueText(value);
    const qint32 index = intern(m_texts, m_textIndex, text, text);
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime moment = value.toDateTime();
        noteMoment(index, moment.date().toJulianDay() * kSecondsPerDay + moment.time().msecsSinceStartOfDay() / 1000);
    }
    m_rows.back().date = index;
}

void TransactionListModel::noteMoment(qint32 text, qint64 moment)
{
    if (m_moments.size() <= size_t(text))
        m_moments.resize(size_t(text) + 1, kNotAMoment);
    m_moments[size_t(text)] = moment;
}

int TransactionListModel::internAccount(const QVariant& name)
{
    const QString text = platform::valueText(name);
    return intern(m_texts, m_textIndex, text, text);
}

void TransactionListModel::setDescription(const QVariant& value)
{
    m_rows.back().description = platform::valueText(value);
}

void TransactionListModel::setWithdrawal(const QVariant& value)
{
    Row& row = m_rows.back();
    row.withdrawalNull = !value.isValid();
    row.withdrawal = value.isValid() ? platform::toDouble(value) : 0;
}

void TransactionListModel::setDeposit(const QVariant& value)
{
    Row& row = m_rows.back();
    row.depositNull = !value.isValid();
    row.deposit = value.isValid() ? platform::toDouble(value) : 0;
}

void TransactionListModel::setTaxable(const QVariant& value)
{
    m_rows.back().taxable = value.isValid() && value.toBool();
}

void TransactionListModel::publish()
{
    beginResetModel();
    m_published = int(m_rows.size());
    applySort();
    if (m_filtering)
        refilter(false);
    endResetModel();
}

QString TransactionListModel::amountText(double value) const
{
    if (value == 0)
        return {};
    return currency::formatAmount(value, m_pattern);
}

QString TransactionListModel::cellText(int added, int column) const
{
    const Row& row = m_rows[size_t(added)];
    switch (column) {
    case IdColumn: {
        if (!m_oddIds.isEmpty()) {
            const auto it = m_oddIds.constFind(added);
            if (it != m_oddIds.constEnd())
                return it->text;
        }
        return QString::number(row.id);
    }
    case DateColumn: return sharedText(row.date);
    case AccountColumn: return sharedText(row.account);
    case DescriptionColumn: return row.description;
    case WithdrawalColumn: return amountText(row.withdrawal);
    case DepositColumn: return amountText(row.deposit);
    case TaxableColumn: return row.taxable ? kYes : kNo;
    default: return {};
    }
}

QString TransactionListModel::text(int viewRow, int column) const
{
    if (viewRow < 0 || viewRow >= shownCount())
        return {};
    return cellText(addedAt(viewRow), column);
}

bool TransactionListModel::isChecked(int viewRow) const
{
    return viewRow >= 0 && viewRow < shownCount() && rowAt(viewRow).checked;
}

int TransactionListModel::viewRowOf(int added) const
{
    const std::vector<int>& shown = m_filtering ? m_shown : m_order;
    const auto it = std::find(shown.begin(), shown.end(), added);
    return it == shown.end() ? -1 : int(it - shown.begin());
}

std::optional<qint64> TransactionListModel::idAt(int viewRow) const
{
    if (viewRow < 0 || viewRow >= shownCount() || m_oddIds.contains(addedAt(viewRow)))
        return std::nullopt;
    return rowAt(viewRow).id;
}

int TransactionListModel::viewRowOfId(qint64 id) const
{
    const int shown = shownCount();
    for (int viewRow = 0; viewRow < shown; ++viewRow) {
        const int added = addedAt(viewRow);
        if (m_rows[size_t(added)].id == id && !m_oddIds.contains(added))
            return viewRow;
    }
    return -1;
}

std::optional<qint64> TransactionListModel::highestId() const
{
    std::optional<qint64> highest;
    for (int added = 0; added < m_published; ++added) {
        const qint64 id = m_rows[size_t(added)].id;
        if ((!highest || id > *highest) && !m_oddIds.contains(added))
            highest = id;
    }
    return highest;
}

QSet<qint64> TransactionListModel::checkedIds() const
{
    QSet<qint64> ids;
    for (int added = 0; added < m_published; ++added) {
        if (m_rows[size_t(added)].checked && !m_oddIds.contains(added))
            ids.insert(m_rows[size_t(added)].id);
    }
    return ids;
}

void TransactionListModel::setCheckedIds(const QSet<qint64>& ids)
{
    if (ids.isEmpty() || m_published == 0)
        return;
    for (int added = 0; added < m_published; ++added) {
        Row& row = m_rows[size_t(added)];
        row.checked = ids.contains(row.id) && !m_oddIds.contains(added);
    }
    emit dataChanged(index(0, IdColumn), index(rowCount() - 1, IdColumn), {Qt::CheckStateRole});
}

void TransactionListModel::setSorted(bool sorted)
{
    m_sorted = sorted;
    if (!sorted || m_published == 0)
        return;
    beginResetModel();
    applySort();
    if (m_filtering)
        orderShownAsSorted();
    endResetModel();
}

namespace {

char16_t folded(char16_t c)
{
    if (c < 128)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return QChar(c).toCaseFolded().unicode();
}

// Compares two texts as their case-folded forms would compare, without making them.
int foldedCompare(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x == y)
            continue;
        const char16_t fx = folded(x);
        const char16_t fy = folded(y);
        if (fx != fy)
            return fx < fy ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// A 64-bit number as a key that orders as the number does.
quint64 wholeKey(qint64 value)
{
    return quint64(value) ^ (quint64(1) << 63);
}

// An amount as a key that orders as the amount does, a Null (key 0) before every
// number, -0 equal to 0. Only a NaN, which no stored amount can be, could also map to 0.
quint64 amountKey(double value, bool null)
{
    if (null)
        return 0;
    if (value == 0)
        value = 0;
    const auto bits = std::bit_cast<quint64>(value);
    return (bits >> 63) != 0 ? ~bits : bits | (quint64(1) << 63);
}

} // namespace

// Ranks of texts in sorted order: equal texts share a rank, the empty text ranks
// below every other.
std::vector<int> TransactionListModel::ranksBy(const std::vector<QString>& texts) const
{
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return foldedCompare(texts[a], texts[b]) < 0; });
    std::vector<int> rank(texts.size());
    int current = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        const QString& text = texts[order[i]];
        if (text.isEmpty())
            rank[order[i]] = -1;
        else
            rank[order[i]] = (i > 0 && current >= 0 && foldedCompare(texts[order[i - 1]], text) == 0) ? current : ++current;
    }
    return rank;
}

// Ranks of the shared texts as dates: those naming a day by their day and time, then
// those that name none (a text another program stored) by their text.
std::vector<int> TransactionListModel::dateRanks() const
{
    const auto momentOf = [this](int text) {
        return size_t(text) < m_moments.size() ? m_moments[size_t(text)] : kNotAMoment;
    };
    const auto before = [&](int a, int b) {
        const qint64 x = momentOf(a), y = momentOf(b);
        if (x != y)
            return x < y;
        return x == kNotAMoment && foldedCompare(m_texts[size_t(a)], m_texts[size_t(b)]) < 0;
    };
    std::vector<int> order(m_texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), before);
    std::vector<int> rank(m_texts.size());
    int current = -1;
    for (size_t i = 0; i < order.size(); ++i)
        rank[size_t(order[i])] = (i > 0 && !before(order[i - 1], order[i])) ? current : ++current;
    return rank;
}

template <class KeyOf>
void TransactionListModel::orderByKeys(KeyOf&& keyOf)
{
    // The keys are sorted together with their rows: no lookup per comparison.
    struct Keyed { quint64 key; int row; };
    std::vector<Keyed> keyed(static_cast<size_t>(m_published));
    for (int i = 0; i < m_published; ++i)
        keyed[size_t(i)] = {keyOf(i), i};
    const bool descending = m_sortOrder == 1;
    std::sort(keyed.begin(), keyed.end(), [descending](const Keyed& a, const Keyed& b) {
        if (a.key != b.key)
            return descending ? b.key < a.key : a.key < b.key;
        return a.row < b.row;
    });
    for (int i = 0; i < m_published; ++i)
        m_order[size_t(i)] = keyed[size_t(i)].row;
}

template <class RankOf>
void TransactionListModel::orderByRanks(int ranks, RankOf&& rankOf)
{
    // A counting sort: ranks are few and dense, so rows are placed in one pass by
    // their rank's start, and rows of one rank stay in the order they were added.
    const bool descending = m_sortOrder == 1;
    const auto bucket = [&](int row) {
        const int b = rankOf(row) + 1;   // the rank -1 (empty) first
        return size_t(descending ? ranks - b : b);
    };
    std::vector<int> start(size_t(ranks) + 2, 0);
    for (int i = 0; i < m_published; ++i)
        ++start[bucket(i) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    for (int i = 0; i < m_published; ++i)
        m_order[size_t(start[bucket(i)]++)] = i;
}

// Transaction numbers where some are not whole numbers: a Null first, then numbers
// by value, then texts that are no number by their text.
void TransactionListModel::sortByOddIds()
{
    struct IdValue {
        int kind = 1;   // 0 Null, 1 a number, 2 a text
        bool whole = true;
        qint64 id = 0;
        double value = 0;
        const QString* text = nullptr;
    };
    std::vector<IdValue> values(static_cast<size_t>(m_published));
    for (int i = 0; i < m_published; ++i) {
        IdValue& v = values[size_t(i)];
        v.id = m_rows[size_t(i)].id;
        const auto it = m_oddIds.constFind(i);
        if (it == m_oddIds.constEnd())
            continue;
        v.whole = false;
        v.text = &it->text;
        if (it->null)
            v.kind = 0;
        else if (it->value)
            v.value = *it->value;
        else
            v.kind = 2;
    }
    const auto less = [&](int a, int b) {
        const IdValue& x = values[size_t(a)];
        const IdValue& y = values[size_t(b)];
        if (x.kind != y.kind)
            return x.kind < y.kind;
        if (x.kind == 2)
            return foldedCompare(*x.text, *y.text) < 0;
        if (x.kind == 0)
            return false;
        if (x.whole && y.whole)
            return x.id < y.id;
        return (x.whole ? double(x.id) : x.value) < (y.whole ? double(y.id) : y.value);
    };
    const bool descending = m_sortOrder == 1;
    std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return descending ? less(b, a) : less(a, b); });
}

void TransactionListModel::applySort()
{
    m_order.resize(m_published);
    std::iota(m_order.begin(), m_order.end(), 0);
    if (!m_sorted || m_sortKey < 0 || m_sortKey >= ColumnCount)
        return;
    switch (m_sortKey) {
    case IdColumn:
        if (m_oddIds.isEmpty())
            orderByKeys([this](int row) { return wholeKey(m_rows[size_t(row)].id); });
        else
            sortByOddIds();
        return;
    case DateColumn:
    case AccountColumn: {
        const bool date = m_sortKey == DateColumn;
        const std::vector<int> rank = date ? dateRanks() : ranksBy(m_texts);
        orderByRanks(int(rank.size()), [&](int row) {
            const qint32 text = date ? m_rows[size_t(row)].date : m_rows[size_t(row)].account;
            return text < 0 ? -1 : rank[size_t(text)];
        });
        return;
    }
    case DescriptionColumn: {
        // Ledgers repeat their descriptions: rank each distinct text once.
        QHash<QString, int> distinct;
        std::vector<QString> texts;
        std::vector<int> textOf(m_published);
        for (int i = 0; i < m_published; ++i) {
            const QString& description = m_rows[size_t(i)].description;
            auto it = distinct.constFind(description);
            if (it == distinct.constEnd()) {
                it = distinct.insert(description, int(texts.size()));
                texts.push_back(description);
            }
            textOf[size_t(i)] = *it;
        }
        distinct.clear();
        const std::vector<int> rank = ranksBy(texts);
        for (int& t : textOf)
            t = rank[size_t(t)];
        orderByRanks(int(texts.size()), [&](int row) { return textOf[size_t(row)]; });
        return;
    }
    case WithdrawalColumn:
        orderByKeys([this](int row) {
            const Row& r = m_rows[size_t(row)];
            return amountKey(r.withdrawal, r.withdrawalNull);
        });
        return;
    case DepositColumn:
        orderByKeys([this](int row) {
            const Row& r = m_rows[size_t(row)];
            return amountKey(r.deposit, r.depositNull);
        });
        return;
    case TaxableColumn:
        // "No" before "Yes".
        orderByRanks(2, [this](int row) { return int(m_rows[size_t(row)].taxable); });
        return;
    default:
        return;
    }
}

} // namespace mainwindow
