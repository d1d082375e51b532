#pragma once
// The rows of the main window's transaction list. Each row stands for one transaction
// joined with its account. A row keeps its values compactly (account names and date
// texts shared between rows, amounts as numbers) and turns them into the displayed
// texts on demand, so a ledger of a million transactions fits in a few hundred bytes
// a row. The model adapts; ListData decides what goes in.

#include "main/FindQuery.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace mainwindow {

class TransactionListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { IdColumn, DateColumn, AccountColumn, DescriptionColumn, WithdrawalColumn, DepositColumn,
                  TaxableColumn, ColumnCount };

    explicit TransactionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Column headers, added in order at start-up.
    void addColumn(const QString& header);
    int headerCount() const { return int(m_headers.size()); }
    QString header(int column) const { return m_headers.value(column); }

    // Filling: clear() empties the list at once; add...() stage rows that publish()
    // shows, sorted when a sort is in force. The setters throw the application error a
    // value that cannot be shown raises (a Null name or description), leaving the cell empty.
    void clear();
    void add(const QVariant& transactionNumber);
    void setDate(const QVariant& value);
    // The account cell, by the row's AccountID: the name is fetched (fetchName()) and
    // turned into text once per account and reload, then shared by its rows.
    template <class FetchName>
    void setAccount(const QVariant& accountId, FetchName&& fetchName)
    {
        bool whole = false;
        const qint64 id = accountId.toLongLong(&whole);
        if (whole) {
            if (const auto it = m_accountById.constFind(id); it != m_accountById.constEnd()) {
                m_rows.back().account = *it;
                return;
            }
        }
        const int index = internAccount(fetchName());
        if (whole)
            m_accountById.insert(id, index);
        m_rows.back().account = index;
    }
    void setDescription(const QVariant& value);
    // An amount cell: empty for Null or 0, else the number formatted with the pattern.
    void setWithdrawal(const QVariant& value);
    void setDeposit(const QVariant& value);
    void setTaxable(const QVariant& value);
    void publish();
    // The pattern amounts are formatted with; fixed for one reload.
    void setAmountPattern(const QString& pattern) { m_pattern = pattern; }

    // The text of a cell at a view row, as shown.
    QString text(int viewRow, int column) const;
    bool isChecked(int viewRow) const;
    // Rows by the order they were added in: the position of a view row in that order,
    // and the view row of the n-th row added (-1 when there is none).
    int addedIndex(int viewRow) const { return addedAt(viewRow); }
    int viewRowOf(int added) const;
    int firstAddedRow() const { return viewRowOf(0); }
    // The same by transaction number: a shown row's number (nullopt for a row whose
    // number is no whole number), and the view row showing a number (-1: none).
    std::optional<qint64> idAt(int viewRow) const;
    int viewRowOfId(qint64 id) const;
    // The highest transaction number of all rows, shown or not (nullopt: none). The
    // ledger numbers a new transaction above every other, so this finds the row an add
    // has just made.
    std::optional<qint64> highestId() const;
    // The ticked rows by number, and ticks put back on the rows of those numbers.
    QSet<qint64> checkedIds() const;
    void setCheckedIds(const QSet<qint64>& ids);

    // The list's own sort, ascending (0) or descending (1), by what a column means:
    // IDs and amounts by value (a Null before every number), dates by date and time,
    // the other columns by their text, case-insensitive. Rows that compare equal keep
    // the order they were added in.
    bool sorted() const { return m_sorted; }
    int sortKey() const { return m_sortKey; }
    int sortOrder() const { return m_sortOrder; }
    void setSorted(bool sorted);
    void setSortKey(int key) { m_sortKey = key; }
    void setSortOrder(int order) { m_sortOrder = order; }

    // The find filter: while one is set, the list shows only the rows it matches, in the
    // list's order. A reload keeps showing the rows shown before it and shows rows added
    // since, matching or not, so an edited or new row never vanishes under the cursor;
    // only a new filter drops them. Clearing shows every row again as sorted.
    void setFilter(const FindQuery& query);
    void clearFilter();
    bool filtering() const { return m_filtering; }
    // All rows, shown or not.
    int totalCount() const { return m_published; }
    // The shown rows' amounts added up; Null and infinite amounts count as nothing.
    struct Totals {
        double withdrawal = 0;
        double deposit = 0;
    };
    Totals shownTotals() const;

    // One row's facts as charts and the find filter see them, by position added.
    struct Facts {
        qint64 day = FindRow::kNoDay;   // Julian day, kNoDay when the date is empty or not a date
        double withdrawal = 0;
        double deposit = 0;
        bool noAmount = false;          // both amounts Null
        qint32 account = -1;            // into accountNames()
    };
    // Calls visit(const Facts&) for every row, or only for those shown.
    template <class Visit>
    void visitRows(bool shownOnly, Visit&& visit) const
    {
        const std::vector<qint64> days = dayOfTexts();
        auto facts = [&](int added) {
            const Row& row = m_rows[size_t(added)];
            visit(Facts{row.date < 0 ? FindRow::kNoDay : days[size_t(row.date)], row.withdrawal, row.deposit,
                        row.withdrawalNull && row.depositNull, row.account});
        };
        if (shownOnly && m_filtering) {
            for (const int added : m_shown)
                facts(added);
        } else {
            for (int added = 0; added < m_published; ++added)
                facts(added);
        }
    }
    // The texts Facts::account points into (date texts among them, never pointed at).
    const std::vector<QString>& accountNames() const { return m_texts; }

private:
    // One transaction, kept small: a million of them must fit in memory. Dates and
    // account names are indexes into shared tables of their texts.
    struct Row {
        qint64 id = 0;
        double withdrawal = 0;
        double deposit = 0;
        QString description;
        qint32 date = -1;      // into m_texts; -1 when the cell is empty
        qint32 account = -1;   // into m_texts
        bool taxable = false;
        bool checked = false;
        // A Null amount shows as 0 does, but sorts before every number.
        bool withdrawalNull = false;
        bool depositNull = false;
    };

    // A transaction number that is not a whole number (another program's doing): its
    // text as shown, and its value when it is a number at all.
    static constexpr qint64 kNotAMoment = std::numeric_limits<qint64>::max();

    struct OddId {
        QString text;
        bool null = false;
        std::optional<double> value;
    };

    // Rows in fixed-size chunks: appending never moves earlier rows, and a million
    // rows take a few dozen allocations.
    class RowStore {
    public:
        Row& append()
        {
            if ((m_size & (kChunk - 1)) == 0)
                m_chunks.push_back(std::make_unique<Row[]>(kChunk));
            return (*this)[m_size++];
        }
        Row& operator[](size_t i) { return m_chunks[i >> kShift][i & (kChunk - 1)]; }
        const Row& operator[](size_t i) const { return m_chunks[i >> kShift][i & (kChunk - 1)]; }
        Row& back() { return (*this)[m_size - 1]; }
        size_t size() const { return m_size; }
        void clear()
        {
            m_chunks.clear();
            m_size = 0;
        }

    private:
        static constexpr size_t kShift = 14;
        static constexpr size_t kChunk = size_t(1) << kShift;
        std::vector<std::unique_ptr<Row[]>> m_chunks;
        size_t m_size = 0;
    };

    const Row& rowAt(int viewRow) const { return m_rows[size_t(addedAt(viewRow))]; }
    // The position added of a view row, and how many rows are shown.
    int addedAt(int viewRow) const { return m_filtering ? m_shown[size_t(viewRow)] : m_order[size_t(viewRow)]; }
    int shownCount() const { return m_filtering ? int(m_shown.size()) : m_published; }
    // The filter's own steps (TransactionListFilter.cpp).
    void refilter(bool narrowing);
    void orderShownAsSorted();
    void keepShownAcrossReload();
    std::vector<qint64> dayOfTexts() const;
    // The text of a cell of the row added at position `added`.
    QString cellText(int added, int column) const;
    QString amountText(double value) const;
    const QString& sharedText(qint32 index) const;
    int internAccount(const QVariant& name);
    void applySort();
    // Orders the view by one key per row added (keyOf(row)); equal keys keep the order
    // the rows were added in, ascending or descending.
    template <class KeyOf>
    void orderByKeys(KeyOf&& keyOf);
    // The same by a rank per row (rankOf(row)), from -1 (the empty text, or a Null)
    // to ranks - 1.
    template <class RankOf>
    void orderByRanks(int ranks, RankOf&& rankOf);
    void sortByOddIds();
    std::vector<int> dateRanks() const;
    std::vector<int> ranksBy(const std::vector<QString>& texts) const;
    // The moment a date text stands for, kept beside the text it was shown as.
    void noteMoment(qint32 text, qint64 moment);

    QStringList m_headers;
    RowStore m_rows;              // in the order added
    std::vector<int> m_order;     // view row -> index into m_rows
    int m_published = 0;
    QString m_pattern;
    std::vector<QString> m_texts;             // date and account texts rows share
    QHash<qint64, qint32> m_dateByDay;
    QHash<qint64, qint32> m_accountById;
    QHash<QString, qint32> m_textIndex;
    QHash<int, OddId> m_oddIds;               // transaction numbers that are not whole numbers
    // For each of m_texts that a date cell shows: the date and time in seconds;
    // kNotAMoment for a text that is no date (an account's name, or a stored text
    // that names no day).
    std::vector<qint64> m_moments;
    bool m_sorted = false;
    int m_sortKey = 0;
    int m_sortOrder = 0;

    bool m_filtering = false;
    FindQuery m_query;
    std::vector<int> m_shown;                 // while filtering: view row -> index into m_rows
    Totals m_shownTotals;
    // Across a reload: the ids shown before it, sorted, and the highest id there was.
    std::vector<qint64> m_keptIds;
    qint64 m_lastIdBefore = 0;
    bool m_keepingShown = false;
};

} // namespace mainwindow
