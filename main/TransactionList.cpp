#include "main/TransactionList.h"

#include "platform/AppError.h"
#include "shell/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QScrollBar>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace mainwindow {

namespace {

// Cells keep the style's inner margin on both sides, so a text never touches the next
// column's. A text too long for its cell ends in "…" (or shows nothing where not even
// that fits, as in the narrow ID column beside its check box), and its tooltip gives
// the whole text.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.text = fitted(cell);
        styleOf(cell)->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() == QEvent::ToolTip) {
            QStyleOptionViewItem cell = option;
            initStyleOption(&cell, index);
            if (fitted(cell) != cell.text) {
                QToolTip::showText(event->globalPos(), cell.text, view->viewport(), option.rect);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

    // The option a cell is drawn with.
    void prepare(QStyleOptionViewItem& cell, const QModelIndex& index) const { initStyleOption(&cell, index); }

    QString shown(QStyleOptionViewItem cell, const QModelIndex& index) const
    {
        initStyleOption(&cell, index);
        return fitted(cell);
    }

    // The cell's text as it fits between the margins.
    static QString fitted(const QStyleOptionViewItem& cell)
    {
        const QStyle* style = styleOf(cell);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, cell.widget) + 1;
        const qreal room = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, cell.widget).width() - 2 * margin;
        const QFontMetricsF metrics(cell.font);
        if (metrics.horizontalAdvance(cell.text) <= room)
            return cell.text;
        const QString cut = metrics.elidedText(cell.text, Qt::ElideRight, room);
        return metrics.horizontalAdvance(cut) <= room ? cut : QString();
    }

private:
    static const QStyle* styleOf(const QStyleOptionViewItem& cell)
    {
        return cell.widget ? cell.widget->style() : QApplication::style();
    }
};

// The header's sort arrow sits in a strip of its own above the caption, at the
// section's middle, so it never covers a caption, however narrow the column (the ID
// column beside its check boxes). It points up for an ascending sort, as the desktop's
// other lists do (Qt's header points it down); the header's own sort order stays true
// to the sort.
class SortArrowStyle : public QProxyStyle {
public:
    static constexpr int kStrip = 5;   // pixels above the caption

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
        if (element != CE_Header || !header) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        painter->save();
        painter->setClipRect(option->rect, Qt::IntersectClip);
        QProxyStyle::drawControl(CE_HeaderSection, header, painter, widget);
        QStyleOptionHeader caption = *header;
        caption.rect = subElementRect(SE_HeaderLabel, header, widget);
        QProxyStyle::drawControl(CE_HeaderLabel, &caption, painter, widget);
        if (header->sortIndicator != QStyleOptionHeader::None)
            drawArrow(painter, subElementRect(SE_HeaderArrow, header, widget),
                      header->sortIndicator == QStyleOptionHeader::SortDown, header->palette);
        painter->restore();
    }

    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override
    {
        if (!qstyleoption_cast<const QStyleOptionHeader*>(option) || !(element == SE_HeaderLabel || element == SE_HeaderArrow))
            return QProxyStyle::subElementRect(element, option, widget);
        const QRect r = option->rect;
        if (element == SE_HeaderArrow) {
            const int width = 2 * kStrip - 1;
            return {r.left() + (r.width() - width) / 2, r.top() + 1, width, kStrip - 1};
        }
        // The caption keeps the section's whole width, whether sorted or not.
        const int margin = pixelMetric(PM_HeaderMargin, option, widget);
        return r.adjusted(margin, kStrip, -margin, 0);
    }

    // A filled triangle in the caption's colour, pointing up (ascending) or down.
    static void drawArrow(QPainter* painter, const QRect& r, bool ascending, const QPalette& palette)
    {
        const qreal left = r.left(), right = r.right() + 1, top = r.top(), bottom = r.bottom() + 1;
        const qreal middle = (left + right) / 2;
        const QPolygonF triangle = ascending
            ? QPolygonF{QPointF(left, bottom), QPointF(right, bottom), QPointF(middle, top)}
            : QPolygonF{QPointF(left, top), QPointF(right, top), QPointF(middle, bottom)};
        QColor colour = palette.windowText().color();
        colour.setAlpha(200);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(colour);
        painter->drawPolygon(triangle);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        QSize hint = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_HeaderSection)
            hint.rheight() += kStrip;
        return hint;
    }
};

} // namespace

TransactionList::TransactionList(QWidget* parent) : QTableView(parent)
{
    setModel(&m_model);
    setItemDelegate(new CellDelegate(this));
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
    auto* arrows = new SortArrowStyle;
    arrows->setParent(header());
    header()->setStyle(arrows);
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

QString TransactionList::shownText(int row, int column) const
{
    const QModelIndex index = m_model.index(row, column);
    QStyleOptionViewItem cell;
    initViewItemOption(&cell);
    cell.rect = visualRect(index);
    return static_cast<const CellDelegate*>(itemDelegate())->shown(cell, index);
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

TransactionList::Place TransactionList::place() const
{
    const int current = currentRow(), top = rowAt(0);
    return {m_model.idAt(current), m_model.idAt(top), m_model.checkedIds(), current, top,
            horizontalScrollBar()->value()};
}

void TransactionList::restorePlace(const Place& place, bool showCurrent)
{
    const int last = count() - 1;
    // The row of a number, else the one now at the position it had.
    const auto rowOf = [&](const std::optional<qint64>& id, int position) {
        const int row = id ? m_model.viewRowOfId(*id) : -1;
        return row >= 0 || position < 0 ? row : std::min(position, last);
    };
    m_model.setCheckedIds(place.ticked);
    if (const int row = rowOf(place.current, place.currentRow); row >= 0)
        setCurrentRow(row);
    if (const int row = rowOf(place.top, place.topRow); row >= 0)
        scrollTo(m_model.index(row, 0), QAbstractItemView::PositionAtTop);
    horizontalScrollBar()->setValue(place.across);
    if (showCurrent && currentIndex().isValid())
        scrollTo(currentIndex(), QAbstractItemView::EnsureVisible);
}

void TransactionList::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        emit editRequested();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TransactionList::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    const bool onRow = event->button() == Qt::LeftButton && index.isValid() && !onCheckBox(index, at);
    // The view first makes the row current, so the edit is of the row clicked.
    QTableView::mouseDoubleClickEvent(event);
    if (onRow && currentIndex().row() == index.row())
        emit editRequested();
}

bool TransactionList::onCheckBox(const QModelIndex& index, const QPoint& position) const
{
    if (!(m_model.flags(index) & Qt::ItemIsUserCheckable))
        return false;
    QStyleOptionViewItem cell;
    initViewItemOption(&cell);
    cell.rect = visualRect(index);
    static_cast<const CellDelegate*>(itemDelegate())->prepare(cell, index);
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &cell, this).contains(position);
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
