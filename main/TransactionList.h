#pragma once
// ListView1: the main window's transaction list in details style over
// TransactionListModel, with a check box in front of each row, column widths kept in
// twips as stored in the settings, and the header-click sort handed to the window.
// A table view without grid or row headers: unlike a tree view it never walks all
// rows to lay them out, which matters with a million of them.

#include "main/TransactionListModel.h"

#include <QHeaderView>
#include <QTableView>
#include <optional>
#include <vector>

namespace mainwindow {

class TransactionList : public QTableView {
    Q_OBJECT
public:
    explicit TransactionList(QWidget* parent = nullptr);

    // The column headers.
    QHeaderView* header() const { return horizontalHeader(); }

    TransactionListModel& items() { return m_model; }
    const TransactionListModel& items() const { return m_model; }

    // Column headers: added in order; widths in twips, 0-based positions.
    void addColumn(const QString& header, double widthTwips);
    int columnCountTwips() const { return int(m_widths.size()); }
    double columnWidthTwips(int column) const { return m_widths.at(column); }
    void setColumnWidthTwips(int column, double twips);

    int count() const { return m_model.rowCount(); }
    // The text a cell shows at its column's current width: whole, cut to end in "…",
    // or empty where not even that fits.
    QString shownText(int row, int column) const;
    // The current row's text (its transaction number), "" when the list is empty.
    QString selectedText() const;
    int currentRow() const;
    void setCurrentRow(int row);

    // Shows the rows staged since the model was cleared, then makes the first row
    // added the current one.
    void publish();

    // Where the user is in the list, by transaction number: the current row, the ticked
    // rows and the row at the top of the view. Kept across every reload once the list
    // has been filled (the user's own changes and others' alike), so nothing moves under
    // the user's hand. A current or top row that is gone is followed by the row that
    // took its place: the one at the same position.
    struct Place {
        std::optional<qint64> current;
        std::optional<qint64> top;
        QSet<qint64> ticked;
        int currentRow = -1;
        int topRow = -1;
        int across = 0;   // the horizontal scroll
    };
    Place place() const;
    // `showCurrent`: the current row is one the user has just changed, scrolled into
    // view when the kept scroll does not show it.
    void restorePlace(const Place& place, bool showCurrent = false);

    // The list's sort properties. Turning Sorted on re-sorts at once and keeps the
    // current row current.
    bool sorted() const { return m_model.sorted(); }
    int sortKey() const { return m_model.sortKey(); }
    int sortOrder() const { return m_model.sortOrder(); }
    void setSorted(bool sorted);
    void setSortKey(int key) { m_model.setSortKey(key); }
    void setSortOrder(int order) { m_model.setSortOrder(order); }

signals:
    // A header was clicked; index is its 1-based position.
    void columnClicked(int index);
    // The user asked to edit the current row: Enter, or a double-click on a row (not
    // on its check box, where it ticks).
    void editRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool onCheckBox(const QModelIndex& index, const QPoint& position) const;

    TransactionListModel m_model;
    std::vector<double> m_widths;
    bool m_settingWidth = false;
};

} // namespace mainwindow
