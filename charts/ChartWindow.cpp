#include "charts/ChartWindow.h"

#include "shell/Dialogs.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>

namespace charts {

namespace {

constexpr Kind kKinds[] = {Kind::Balance, Kind::Months, Kind::Accounts};

QString tabName(Kind kind)
{
    switch (kind) {
    case Kind::Balance: return QStringLiteral("Balance");
    case Kind::Months: return QStringLiteral("Per Month");
    case Kind::Accounts: return QStringLiteral("By Account");
    }
    return {};
}

} // namespace

ChartWindow::ChartWindow(std::function<Ledger(bool)> source, std::function<bool()> filtering,
                         std::function<QString(double)> money, QWidget* parent)
    : QWidget(parent, Qt::Window), m_source(std::move(source)), m_filtering(std::move(filtering)),
      m_money(std::move(money))
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(QStringLiteral("Charts"));
    resize(720, 470);
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* periodCaption = new QLabel(QStringLiteral("&Period:"), this);
    m_period = new QComboBox(this);
    m_period->setObjectName(QStringLiteral("cboPeriod"));
    m_period->addItems({QStringLiteral("This Year"), QStringLiteral("Last 12 Months"), QStringLiteral("All"),
                        QStringLiteral("Shown Rows (Find)")});
    m_period->setCurrentIndex(AllRows);
    periodCaption->setBuddy(m_period);
    m_save = new QPushButton(QStringLiteral("Save Picture") + QChar(0x2026), this);
    m_save->setObjectName(QStringLiteral("cmdSave"));
    top->addWidget(periodCaption);
    top->addWidget(m_period);
    top->addStretch(1);
    top->addWidget(m_save);
    column->addLayout(top);
    m_tabs = new QTabWidget(this);
    for (const Kind kind : kKinds) {
        auto* view = new QChartView(this);
        view->setRenderHint(QPainter::Antialiasing);
        m_views[int(kind)] = view;
        m_tabs->addTab(view, tabName(kind));
    }
    column->addWidget(m_tabs, 1);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lblNote"));
    column->addWidget(m_note);
    connect(m_period, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_save, &QPushButton::clicked, this, &ChartWindow::cmdSave_Click);
}

ChartWindow::Choice ChartWindow::choice() const
{
    return Choice(m_period->currentIndex());
}

void ChartWindow::setChoice(Choice choice)
{
    m_period->setCurrentIndex(choice);
}

Kind ChartWindow::shownKind() const
{
    return kKinds[m_tabs->currentIndex()];
}

void ChartWindow::showKind(Kind kind)
{
    m_tabs->setCurrentIndex(int(kind));
}

QString ChartWindow::noteText() const
{
    return m_note->text();
}

QChart* ChartWindow::chart(Kind kind) const
{
    return m_views[int(kind)]->chart();
}

void ChartWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void ChartWindow::refresh()
{
    if (!isVisible())
        return;
    // The filter's rows can be chosen only while there is a filter.
    const bool filtering = m_filtering();
    if (auto* items = qobject_cast<QStandardItemModel*>(m_period->model()))
        items->item(ShownRows)->setEnabled(filtering);
    if (!filtering && choice() == ShownRows) {
        const QSignalBlocker quiet(m_period);
        m_period->setCurrentIndex(AllRows);
    }
    Period period;
    switch (choice()) {
    case ThisYear: period = Period::year(QDate::currentDate().year()); break;
    case Last12Months: period = Period::last12Months(QDate::currentDate()); break;
    case AllRows:
    case ShownRows: period = Period::all(); break;
    }
    m_numbers = computeNumbers(m_source(choice() == ShownRows), period);
    redraw();
}

void ChartWindow::redraw()
{
    for (const Kind kind : kKinds) {
        QChart* chart = makeChart(kind, m_numbers);
        connectTooltips(chart, kind);
        QChart* old = m_views[int(kind)]->chart();
        m_views[int(kind)]->setChart(chart);   // the view owns the new chart
        delete old;
    }
    m_note->setText(leftOutNote(m_numbers.leftOut));
}

void ChartWindow::connectTooltips(QChart* chart, Kind kind)
{
    for (QAbstractSeries* series : chart->series()) {
        if (auto* line = qobject_cast<QLineSeries*>(series)) {
            connect(line, &QLineSeries::hovered, this, [this](const QPointF& point, bool state) {
                if (!state)
                    return QToolTip::hideText();
                const QDate month = QDateTime::fromMSecsSinceEpoch(qint64(point.x())).date();
                QToolTip::showText(QCursor::pos(), QLocale().toString(month, QStringLiteral("MMMM yyyy")) + QStringLiteral(": ")
                                                       + m_money(point.y()));
            });
        } else if (auto* bars = qobject_cast<QAbstractBarSeries*>(series)) {
            for (QBarSet* set : bars->barSets()) {
                connect(set, &QBarSet::hovered, this, [this, set, kind](bool state, int index) {
                    if (!state)
                        return QToolTip::hideText();
                    QString label;
                    if (kind == Kind::Accounts)
                        label = m_numbers.accounts[m_numbers.accounts.size() - 1 - size_t(index)].account;
                    else
                        label = QLocale().toString(m_numbers.months[size_t(index)].first, QStringLiteral("MMMM yyyy"))
                            + u' ' + set->label();
                    QToolTip::showText(QCursor::pos(), label + QStringLiteral(": ") + m_money(set->at(index)));
                });
            }
        }
    }
}

void ChartWindow::cmdSave_Click()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString suggested = QDir(folder).filePath(tabName(shownKind()).remove(u' ') + QStringLiteral(".png"));
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture"), suggested,
                                                      QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)"));
    if (file.isEmpty())
        return;
    QString error;
    if (!savePicture(file, &error))
        platform::Dialogs::current().MsgBox(error, platform::vbExclamation);
}

bool ChartWindow::savePicture(const QString& file, QString* error)
{
    QChartView* view = m_views[int(shownKind())];
    const QSize size = view->isVisible() ? view->size() : QSize(760, 460);
    return charts::savePicture(*view->chart(), file, size, error);
}

} // namespace charts
