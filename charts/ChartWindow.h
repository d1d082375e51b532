#pragma once
// The charts window: the balance over time, withdrawals and deposits per month, and
// withdrawals by account, for a chosen period, with each figure in the ledger's
// currency format on hover and "Save Picture…" to PNG or SVG. It only shows what
// ChartData works out; the main window tells it when the ledger changed.

#include "charts/ChartData.h"
#include "charts/ChartPicture.h"

#include <QWidget>
#include <functional>

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
QT_END_NAMESPACE

namespace charts {

class ChartWindow : public QWidget {
    Q_OBJECT
public:
    // The period choices, in the order the list offers them.
    enum Choice { ThisYear, Last12Months, AllRows, ShownRows };

    // source(shownOnly) gives the ledger's rows, or only those the find filter shows;
    // filtering() tells whether a filter is on; money formats an amount as the ledger does.
    ChartWindow(std::function<Ledger(bool shownOnly)> source, std::function<bool()> filtering,
                std::function<QString(double)> money, QWidget* parent = nullptr);

    // Works the numbers out again and redraws; called after every change to the ledger
    // or the filter. Does nothing while the window is hidden: showing it refreshes.
    void refresh();

    Choice choice() const;
    void setChoice(Choice choice);
    const ChartNumbers& numbers() const { return m_numbers; }
    Kind shownKind() const;
    void showKind(Kind kind);
    QString noteText() const;
    QChart* chart(Kind kind) const;

    // "Save Picture…": asks for a file, then saves the chart shown.
    void cmdSave_Click();
    // The chart shown, at its size in the window, into file (.png or .svg).
    bool savePicture(const QString& file, QString* error);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw();
    void connectTooltips(QChart* chart, Kind kind);

    std::function<Ledger(bool)> m_source;
    std::function<bool()> m_filtering;
    std::function<QString(double)> m_money;
    QComboBox* m_period;
    QPushButton* m_save;
    QTabWidget* m_tabs;
    QChartView* m_views[3];
    QLabel* m_note;
    ChartNumbers m_numbers;
};

} // namespace charts
