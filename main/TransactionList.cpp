#include "main/TransactionList.h"

#include "platform/AppError.h"
#include "shell/Twips.h"

#include <QHeaderView>

namespace mainwindow {

TransactionList::TransactionList(QWidget* parent) : QTableView(parent)
{
    setModel(&m_model);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);   // Tab moves on to the next control, as in a list
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setHighlightSections(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) { emit columnClicked(section + 1); });
    connect(header(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (!m_settingWidth && section < int(m_widths.size()))
            m_widths[section] = shell::toTwips(size, this);
    });
}

void TransactionList::addColumn(const QString& header, double widthTwips)
{
    m_model.addColumn(header);
    m_widths.push_back(widthTwips);
    setColumnWidthTwips(int(m_widths.size()) - 1, widthTwips);
}

void TransactionList::setColumnWidthTwips(int column, double twips)
{
    // A hand-edited setting may hold any number: refuse what no column can be.
    if (!(twips >= 0 && twips <= 1e6))
        throw platform::AppError(QStringLiteral("Invalid property value"));
    m_widths.at(column) = twips;
    m_settingWidth = true;
    setColumnWidth(column, shell::toPixels(twips, this));
    m_settingWidth = false;
}

QString TransactionList::selectedText() const
{
    return m_model.text(currentRow(), TransactionListModel::IdColumn);
}

int TransactionList::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TransactionList::setCurrentRow(int row)
{
    if (row < 0 || row >= m_model.rowCount())
        return;
    setCurrentIndex(m_model.index(row, 0));
}

void TransactionList::publish()
{
    m_model.publish();
    setCurrentRow(m_model.firstAddedRow());
}

void TransactionList::setSorted(bool sorted)
{
    const int row = currentRow();
    const int added = row >= 0 ? m_model.addedIndex(row) : -1;
    m_model.setSorted(sorted);
    if (sorted) {
        header()->setSortIndicatorShown(true);
        header()->setSortIndicator(sortKey(), sortOrder() == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    if (added >= 0)
        setCurrentRow(m_model.viewRowOf(added));
}

} // namespace mainwindow
