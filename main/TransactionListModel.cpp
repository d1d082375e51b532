#include "main/TransactionListModel.h"

#include "currency/AmountFormat.h"
#include "platform/Conversions.h"

#include <QDateTime>
#include <algorithm>
#include <numeric>

namespace mainwindow {

namespace {
const QString kYes = QStringLiteral("Yes");
const QString kNo = QStringLiteral("No");
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
    m_dayOfText.clear();
    endResetModel();
}

void TransactionListModel::add(const QVariant& transactionNumber)
{
    m_rows.append();
    bool whole = false;
    m_rows.back().id = transactionNumber.toLongLong(&whole);
    if (!whole || transactionNumber.typeId() == QMetaType::Double)
        m_oddIds.insert(int(m_rows.size()) - 1, platform::valueText(transactionNumber));
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
        m_rows.back().date = intern(m_texts, m_dateByDay, day, platform::dateText(value));
        m_dayOfText.insert(m_rows.back().date, day);
        return;
    }
    const QString text = platform::valueText(value);
    m_rows.back().date = intern(m_texts, m_textIndex, text, text);
    if (value.typeId() == QMetaType::QDateTime)
        m_dayOfText.insert(m_rows.back().date, value.toDateTime().date().toJulianDay());
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
    m_rows.back().noWithdrawal = !value.isValid();
    m_rows.back().withdrawal = value.isValid() ? platform::toDouble(value) : 0;
}

void TransactionListModel::setDeposit(const QVariant& value)
{
    m_rows.back().noDeposit = !value.isValid();
    m_rows.back().deposit = value.isValid() ? platform::toDouble(value) : 0;
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
                return *it;
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

// A whole number's decimal text packed four bits a character, none 0, "-" 1 and the
// digits 2 to 11, first character highest: comparing two keys compares the texts
// ("10" before "9", "-5" before "0"). 32 characters hold any 64-bit number's 20.
using IdTextKey = std::pair<quint64, quint64>;

IdTextKey idTextKey(qint64 id)
{
    char digits[20];
    int n = 0;
    quint64 magnitude = id < 0 ? 0 - quint64(id) : quint64(id);
    do {
        digits[n++] = char(2 + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    quint64 packed[2] = {0, 0};
    int at = 0;
    auto put = [&](quint64 code) {
        packed[at / 16] |= code << (60 - 4 * (at % 16));
        ++at;
    };
    if (id < 0)
        put(1);
    while (n > 0)
        put(quint64(digits[--n]));
    return {packed[0], packed[1]};
}

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

void TransactionListModel::applySort()
{
    m_order.resize(m_published);
    std::iota(m_order.begin(), m_order.end(), 0);
    if (!m_sorted || m_sortKey < 0 || m_sortKey >= ColumnCount)
        return;
    const bool descending = m_sortOrder == 1;
    auto sortBy = [&](auto&& less) {
        std::stable_sort(m_order.begin(), m_order.end(),
                         [&](int a, int b) { return descending ? less(b, a) : less(a, b); });
    };
    // The list orders rows by the text it shows. Columns with few distinct texts are
    // ranked once per distinct text and sorted by rank; the rest compare texts directly.
    switch (m_sortKey) {
    case DescriptionColumn: {
        // Ledgers repeat their descriptions: rank each distinct text once.
        QHash<QString, int> distinct;
        std::vector<QString> texts;
        std::vector<int> textOf(m_published);
        for (int i = 0; i < m_published; ++i) {
            const QString& description = m_rows[i].description;
            auto it = distinct.constFind(description);
            if (it == distinct.constEnd()) {
                it = distinct.insert(description, int(texts.size()));
                texts.push_back(description);
            }
            textOf[i] = *it;
        }
        distinct.clear();
        const std::vector<int> rank = ranksBy(texts);
        for (int& t : textOf)
            t = rank[t];
        sortBy([&](int a, int b) { return textOf[a] < textOf[b]; });
        return;
    }
    case IdColumn: {
        if (m_oddIds.isEmpty()) {
            // Each number's text is packed once into a key that orders as the text
            // does, and the keys are sorted together with their rows.
            struct Keyed { IdTextKey key; int row; };
            std::vector<Keyed> keyed(static_cast<size_t>(m_published));
            for (int i = 0; i < m_published; ++i)
                keyed[size_t(i)] = {idTextKey(m_rows[size_t(i)].id), i};
            // Equal numbers keep the order they were added in, either way.
            std::sort(keyed.begin(), keyed.end(), [descending](const Keyed& a, const Keyed& b) {
                if (a.key != b.key)
                    return descending ? b.key < a.key : a.key < b.key;
                return a.row < b.row;
            });
            for (int i = 0; i < m_published; ++i)
                m_order[size_t(i)] = keyed[size_t(i)].row;
        } else {
            std::vector<QString> keys(m_published);
            for (int i = 0; i < m_published; ++i)
                keys[i] = cellText(i, IdColumn);
            sortBy([&](int a, int b) { return foldedCompare(keys[a], keys[b]) < 0; });
        }
        return;
    }
    case DateColumn:
    case AccountColumn: {
        const std::vector<int> rank = ranksBy(m_texts);
        const bool date = m_sortKey == DateColumn;
        auto rankOf = [&](int row) {
            const qint32 text = date ? m_rows[row].date : m_rows[row].account;
            return text < 0 ? -1 : rank[size_t(text)];
        };
        sortBy([&](int a, int b) { return rankOf(a) < rankOf(b); });
        return;
    }
    case WithdrawalColumn:
    case DepositColumn: {
        const bool withdrawal = m_sortKey == WithdrawalColumn;
        QHash<double, int> distinct;
        std::vector<QString> texts;
        std::vector<int> textOf(m_published);
        for (int i = 0; i < m_published; ++i) {
            const double value = withdrawal ? m_rows[i].withdrawal : m_rows[i].deposit;
            auto it = distinct.constFind(value);
            if (it == distinct.constEnd()) {
                it = distinct.insert(value, int(texts.size()));
                texts.push_back(amountText(value));
            }
            textOf[i] = *it;
        }
        const std::vector<int> rank = ranksBy(texts);
        sortBy([&](int a, int b) { return rank[textOf[a]] < rank[textOf[b]]; });
        return;
    }
    case TaxableColumn:
        // "No" before "Yes".
        sortBy([&](int a, int b) { return !m_rows[a].taxable && m_rows[b].taxable; });
        return;
    default:
        return;
    }
}

} // namespace mainwindow
