// The transaction list's find filter: which rows show while the user types in the find
// field. Kept apart from the list's filling and sorting; the only memory it adds is
// one index per shown row.
#include "main/TransactionListModel.h"

#include <algorithm>
#include <cmath>

namespace mainwindow {

void TransactionListModel::setFilter(const FindQuery& query)
{
    beginResetModel();
    // Typing on usually narrows: then only the rows shown now need checking again.
    const bool narrowing = m_filtering && query.narrows(m_query);
    m_query = query;
    m_filtering = true;
    refilter(narrowing);
    endResetModel();
}

void TransactionListModel::clearFilter()
{
    if (!m_filtering)
        return;
    beginResetModel();
    m_filtering = false;
    m_query = {};
    std::vector<int>().swap(m_shown);
    endResetModel();
}

TransactionListModel::Totals TransactionListModel::shownTotals() const
{
    return m_shownTotals;
}

std::vector<qint64> TransactionListModel::dayOfTexts() const
{
    // A date's moment counts seconds from the start of its Julian day.
    std::vector<qint64> days(m_texts.size(), FindRow::kNoDay);
    for (size_t text = 0; text < m_moments.size() && text < days.size(); ++text) {
        if (m_moments[text] != kNotAMoment)
            days[text] = m_moments[text] / 86400;
    }
    return days;
}

void TransactionListModel::keepShownAcrossReload()
{
    if (!m_filtering)
        return;
    m_keptIds.clear();
    m_keptIds.reserve(m_shown.size());
    for (const int added : m_shown)
        m_keptIds.push_back(m_rows[size_t(added)].id);
    std::sort(m_keptIds.begin(), m_keptIds.end());
    m_lastIdBefore = std::numeric_limits<qint64>::min();
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_lastIdBefore = std::max(m_lastIdBefore, m_rows[i].id);
    m_keepingShown = true;
}

void TransactionListModel::refilter(bool narrowing)
{
    // Accounts are few: each name is matched once, not once a row.
    std::vector<quint64> accountHits(m_texts.size());
    for (size_t i = 0; i < m_texts.size(); ++i)
        accountHits[i] = m_query.accountHits(m_texts[i]);
    const std::vector<qint64> days = dayOfTexts();
    const bool keeping = std::exchange(m_keepingShown, false);
    const auto shows = [&](int added) {
        const Row& row = m_rows[size_t(added)];
        const bool account = row.account >= 0;
        const FindRow facts{row.description, account ? QStringView(m_texts[size_t(row.account)]) : QStringView(),
                            row.date < 0 ? FindRow::kNoDay : days[size_t(row.date)], row.withdrawal, row.deposit,
                            row.taxable};
        if (m_query.matches(facts, account ? accountHits[size_t(row.account)] : 0))
            return true;
        return keeping && (row.id > m_lastIdBefore || std::binary_search(m_keptIds.begin(), m_keptIds.end(), row.id));
    };
    if (narrowing) {
        m_shown.erase(std::remove_if(m_shown.begin(), m_shown.end(), [&](int added) { return !shows(added); }),
                      m_shown.end());
    } else {
        m_shown.clear();
        for (int i = 0; i < m_published; ++i) {
            if (shows(m_order[size_t(i)]))
                m_shown.push_back(m_order[size_t(i)]);
        }
    }
    if (keeping)
        std::vector<qint64>().swap(m_keptIds);

    Totals totals;
    for (const int added : m_shown) {
        const Row& row = m_rows[size_t(added)];
        if (std::isfinite(row.withdrawal))
            totals.withdrawal += row.withdrawal;
        if (std::isfinite(row.deposit))
            totals.deposit += row.deposit;
    }
    m_shownTotals = totals;
}

void TransactionListModel::orderShownAsSorted()
{
    std::vector<bool> shown(m_rows.size());
    for (const int added : m_shown)
        shown[size_t(added)] = true;
    m_shown.clear();
    for (const int added : m_order) {
        if (shown[size_t(added)])
            m_shown.push_back(added);
    }
}

} // namespace mainwindow
