#include "main/Form1.h"

#include "currency/AmountFormat.h"
#include "currency/CurrencyChoice.h"
#include "data/Backups.h"
#include "data/Ledger.h"
#include "main/LedgerStatements.h"
#include "main/MainLayout.h"
#include "main/Skin.h"
#include "platform/Conversions.h"
#include "shell/Desktop.h"
#include "shell/Dialogs.h"
#include "platform/Settings.h"
#include "data/StoredFormat.h"
#include "shell/ErrorTrap.h"
#include "platform/FileFunctions.h"
#include "shell/Ghost.h"
#include "shell/Maker.h"
#include "shell/Twips.h"
#include "shell/WindowChrome.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QPointer>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>

namespace mainwindow {

namespace {

const QString kProductName = QStringLiteral("Tallyfold");

// How long after a restore the window manager's own placement is still expected.
constexpr int kSettleMs = 250;

// Design size of the client area, in twips.
constexpr double kClientWidth = 12240;
constexpr double kClientHeight = 5055;

// The seven list columns, in order, with their default widths in twips.
struct ColumnSpec { int statement; const char* header; double defaultWidth; };
constexpr ColumnSpec kColumns[] = {
    {148, "ID", 400},
    {150, "Date", 1800},
    {152, "Account", 1800},
    {154, "Description", 1800},
    {156, " Withdrawal Amount", 1800},
    {158, "Deposit Amount", 1800},
    {160, "Taxable", 1800},
};

QString columnKey(int position)
{
    return platform::stored::kColumnWidthKeyPrefix + QString::number(position);
}

// An amount as the totals count it: Null, and an infinity another program may have
// stored, count as nothing.
double countable(const QVariant& amount)
{
    const double value = amount.isValid() ? platform::toDouble(amount) : 0;
    return std::isfinite(value) ? value : 0;
}

// A total as shown: a sum past the largest number stops there rather than read "inf".
double shown(double total)
{
    return std::isnan(total) ? 0 : std::clamp(total, -DBL_MAX, DBL_MAX);
}

// A width as the settings keep it: a single-precision number, "." whatever the locale.
QString singleText(double value)
{
    return QString::number(float(value), 'g', 7);
}

// SetAppTitle: the product name, cut before its last space while longer than 40.
QString shortenedTitle(QString title)
{
    while (title.size() > 40) {
        const qsizetype space = title.lastIndexOf(u' ');
        if (space < 0)
            break;
        title.truncate(space);
    }
    return title;
}

std::function<double()>& randomSource()
{
    static std::function<double()> source;
    return source;
}

// A field of the list query, looked up by name on first use and then kept: a reload
// reads eight fields of every row, and the names do not change between rows.
class CachedField {
public:
    CachedField(const data::Recordset& rs, QStringView name) : m_rs(rs), m_name(name) {}
    QVariant value()
    {
        if (!m_field)
            m_field = m_rs.Fields(m_name);
        return m_field->Value();
    }

private:
    const data::Recordset& m_rs;
    QStringView m_name;
    std::optional<data::Field> m_field;
};

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(shell::windowFont());
    resize(designSize());
    // A cut text in the list tells its whole text in a tooltip, also while another
    // window (the help window, first of all) is the active one.
    setAttribute(Qt::WA_AlwaysShowToolTips);

    ListView1 = new TransactionList(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Transactions"));
    shell::placeTwips(ListView1, 120, 90, 12000, 2595);

    PushButton2 = makeButton("PushButton2", QStringLiteral("Add New"), 120, 2790, 2880);
    // Row 1 shares one top edge, as the layout puts it back after a maximise.
    PushButton1 = makeButton("PushButton1", QStringLiteral("Edit Selected"), 3120, 2790, 2880);
    PushButton3 = makeButton("PushButton3", QStringLiteral("Delete Selected"), 6120, 2790, 2880);
    PushButton7 = makeButton("PushButton7", QStringLiteral("Load Sample/Example Data"), 9120, 2790, 3000);
    PushButton4 = makeButton("PushButton4", QStringLiteral("Duplicate Selected"), 120, 3315, 2880);
    PushButton5 = makeButton("PushButton5", QStringLiteral("Create/Print Report"), 3120, 3315, 2880);
    PushButton6 = makeButton("PushButton6", QStringLiteral("Save Database To Excel"), 6120, 3315, 2880);
    PushButton9 = makeButton("PushButton9", QStringLiteral("Currency Options"), 9120, 3315, 3000);
    PushButton8 = makeButton("PushButton8", QStringLiteral("Help"), 120, 3825, 12000);

    Frame1 = new QGroupBox(QStringLiteral("Summary"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    shell::placeTwips(Frame1, 120, 4245, 12000, 735);
    auto makeLabel = [](QWidget* parent, const char* name, const QString& caption, double left, double top,
                            double width) {
        auto* label = new QLabel(caption, parent);
        label->setObjectName(QString::fromLatin1(name));
        shell::placeTwips(label, left, top, width, 225);
        return label;
    };
    Label1 = makeLabel(Frame1, "Label1", QStringLiteral("Widrawal:"), 360, 300, 855);
    Label2 = makeLabel(Frame1, "Label2", QStringLiteral("Deposit:"), 4560, 300, 690);
    Label3 = makeLabel(Frame1, "Label3", QStringLiteral("Balance:"), 8520, 300, 735);
    // The plain totals, for the printed report: below the client area and hidden.
    Label11 = makeLabel(this, "Label11", QStringLiteral("Widrawal:"), 360, kClientHeight + 300, 3000);
    Label22 = makeLabel(this, "Label22", QStringLiteral("Deposit:"), 4560, kClientHeight + 300, 3000);
    Label33 = makeLabel(this, "Label33", QStringLiteral("Balance:"), 8520, kClientHeight + 300, 3000);
    // They would show through a maximised window, which is taller than the design.
    for (QLabel* plain : {Label11, Label22, Label33})
        plain->hide();

    // Tab order as designed: the list, the commands, the summary, then the rest.
    QWidget* order[] = {ListView1, PushButton2, PushButton1, PushButton3, PushButton4, PushButton5,
                        PushButton6, Frame1, PushButton7, PushButton8, PushButton9};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(ListView1, &TransactionList::columnClicked, this, &Form1::ListView1_ColumnClick);
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
    shell::installPointerHandlers(this,
                                  {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6,
                                   PushButton7, PushButton8, PushButton9},
                                  {this, ListView1, Frame1});
    makeListMenu();
    makeFindAndCharts();
    makeImport();
}

Form1::~Form1() = default;

QPushButton* Form1::makeButton(const char* name, const QString& caption, double left, double top, double width)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(shell::buttonFont());
    button->setAutoDefault(false);
    shell::placeTwips(button, left, top, width, 405);
    return button;
}

void Form1::setCaption(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();   // captions grow with their totals
}

shell::ErrorTrap Form1::trapFor(const char* procedure)
{
    return shell::ErrorTrap(QStringLiteral("Form1"), QString::fromLatin1(procedure));
}

bool Form1::Form_Load()
{
    // What the ledger finds by itself (a damaged file, a failed backup) is told in a box.
    data::setUserTeller(platform::tellInMessageBox);
    data::setUserAsker(platform::askInMessageBox,
                       [](const QString& prompt) { return platform::Dialogs::current().PasswordBox(prompt); });
    shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    data::prepareDataFolder(trap);                            // 100-110
    trap.run(112, [this] { ApplySkin(); });
    if (trap.test(114, [] { return platform::FileExists(shell::handCursorFile()); }))
        trap.run(116, [this] { shell::loadHandCursor(this); });
    trap.run(118, [this] { OpenHomePageNow(); });
    trap.run(120, [this] {
        if (!m_ghost) {
            m_ghost = std::make_unique<shell::Ghost>();
            m_ghost->Form_Load();
        }
        if (!m_windowless)
            m_ghost->show();
    });
    trap.run(140, [this] {
        setWindowTitle(kProductName);
        setWindowIcon(m_ghost ? m_ghost->windowIcon() : shell::programIcon());
        // Message boxes without an owner show it too.
        QApplication::setWindowIcon(windowIcon());
        platform::setAppTitle(shortenedTitle(kProductName));   // SetAppTitle
    });
    trap.run(142, [this] { IsADOInstalled(); });
    if (m_programEnded)
        return false;
    trap.run(144, [] { data::createConnection(); });
    trap.run(146, [this] {
        data::setLedgerProblemListener([form = QPointer<Form1>(this)] {
            if (form)
                form->showLedgerProblem();
        });
        data::setOthersChangedListener([form = QPointer<Form1>(this)] {
            if (form)
                form->othersChanged();
        });
        // Before anything could write to the ledger: a backup when it has changed.
        data::backUpAtStart();
        data::connection().Open(data::connectionString());
    });
    for (const ColumnSpec& column : kColumns)
        trap.run(column.statement, [&] { ListView1->addColumn(QString::fromLatin1(column.header), column.defaultWidth); });
    trap.run(162, [this] {
        ListView1->setColumnWidthTwips(0, platform::toSingle(platform::settings::get(columnKey(1), QStringLiteral("400"))));
    });
    for (int i = 2; trap.loop(164, [&] { return i <= ListView1->columnCountTwips(); }); ++i) {
        trap.run(166, [&] {
            ListView1->setColumnWidthTwips(
                i - 1, platform::toSingle(platform::settings::get(columnKey(i), QStringLiteral("1800"))));
        });
    }
    // Work without a window (the report from the command line) needs the totals alone.
    trap.run(170, [this] { m_windowless ? ListTotals() : ListData(); });
    trap.run(172, [this] {
        setWindowStateNumber(platform::toInteger(platform::settings::get(platform::stored::kWindowStateKey, QStringLiteral("0"))));
    });
    if (trap.test(174, [this] { return windowStateNumber() == 0; }))
        trap.run(176, [this] { WasMaximized = false; });
    else
        trap.run(178, [this] { WasMaximized = true; });
    return true;
}

void Form1::ApplySkin()
{
    if (!skinPresent())
        return;                                   // no skin, no colour change
    shell::ResetBackColors(this);
    applySkin(this, skinFile());
}

void Form1::OpenHomePageNow()
{
    const std::function<double()>& source = randomSource();
    const double fraction = source ? source() : QRandomGenerator::global()->generateDouble();
    const int drawn = int(fraction * 100) + 1;
    // Not asked for by the user, so a desktop that cannot open it is not worth a report.
    if (drawn == 7)
        platform::Desktop::current().open(QUrl(shell::kHomePage));
}

void Form1::setRandomSource(std::function<double()> fraction)
{
    randomSource() = std::move(fraction);
}

int Form1::windowStateNumber() const
{
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & Qt::WindowMaximized)
        return 2;
    return 0;
}

void Form1::setWindowStateNumber(int state)
{
    switch (state) {
    case 0: setWindowState(Qt::WindowNoState); break;
    case 1: setWindowState(Qt::WindowMinimized); break;
    case 2: setWindowState(Qt::WindowMaximized); break;
    default: throw platform::AppError(QStringLiteral("Invalid property value"));
    }
}

void Form1::Form_QueryUnload()
{
    shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    for (int i = 1; trap.loop(100, [&] { return i <= ListView1->columnCountTwips(); }); ++i)
        trap.run(102, [&] { platform::settings::save(columnKey(i), singleText(ListView1->columnWidthTwips(i - 1))); });
    trap.run(106, [this] { platform::settings::save(platform::stored::kWindowStateKey, QString::number(windowStateNumber())); });
    if (trap.test(108, [] { return data::connection().State() != 0; }))
        trap.run(108, [] { data::connection().Close(); });
    trap.run(110, [] { data::releaseConnection(); });
    trap.run(112, [] { QCoreApplication::processEvents(); });
    trap.run(114, [] { QCoreApplication::processEvents(); });
}

void Form1::Form_Unload()
{
    // Ends the program: the event loop stops as soon as this close has been handled, and
    // other windows go with it without their own close handlers. Queued, because a quit
    // asked for while no loop runs would make the next loop that starts end at once.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        m_closing = true;
        Form_QueryUnload();
        Form_Unload();
    }
    event->accept();
}

void Form1::ListData()
{
    shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    m_listing = true;
    const auto listed = qScopeGuard([this] {
        m_listing = false;
        if (std::exchange(m_othersPending, false))
            QTimer::singleShot(0, this, &Form1::othersChanged);
    });
    TransactionListModel& list = ListView1->items();
    data::Recordset rs;                                   // 102
    const bool opened = trap.run(104, [&] { rs.Open(data::kLedgerQuery, data::connection(), 3, 1); });
    // The old rows go only once it is known whether new ones can be read: while the
    // ledger's server is away (found so now or before) the list keeps what was read
    // last, and is read anew once the server is back. A first fill goes on, so the
    // summary shows its totals (of nothing).
    if (!opened && data::ledgerProblem() == platform::FileProblem::Away && m_reloads > 0) {
        showLedgerProblem();
        return;
    }
    trap.run(100, [&] { list.clear(); });
    double totalWithdrawal = 0;                               // 106
    double totalDeposit = 0;                                  // 108
    // The pattern cannot change during one reload: fetch it once, not once a cell.
    const QString pattern = currency::OwnCurrencyFormat();
    list.setAmountPattern(pattern);
    CachedField number(rs, u"TransactionNumber"), date(rs, u"TransactionDate"), accountId(rs, u"AccountID"),
        account(rs, u"AccountName"), description(rs, u"TransactionDescription"),
        withdrawal(rs, u"WithdrawalAmount"), deposit(rs, u"DepositAmount"), taxable(rs, u"Taxable");
    // A query that could not be opened is reported once; reading it would only fail again.
    while (opened && trap.loop(110, [&] { return !rs.eof(); })) {
        // The amounts are read once for the cell and the total alike.
        std::optional<QVariant> withdrawalValue, depositValue;
        trap.run(112, [&] { list.add(number.value()); });
        trap.run(114, [&] { list.setDate(date.value()); });
        trap.run(116, [&] { list.setAccount(accountId.value(), [&] { return account.value(); }); });
        trap.run(118, [&] { list.setDescription(description.value()); });
        trap.run(120, [&] { list.setWithdrawal(*(withdrawalValue = withdrawal.value())); });
        trap.run(122, [&] { list.setDeposit(*(depositValue = deposit.value())); });
        trap.run(124, [&] { list.setTaxable(taxable.value()); });
        trap.run(126, [&] { totalWithdrawal += countable(withdrawalValue ? *withdrawalValue : withdrawal.value()); });
        trap.run(128, [&] { totalDeposit += countable(depositValue ? *depositValue : deposit.value()); });
        trap.run(130, [&] { rs.MoveNext(); });
    }
    ListView1->publish();
    if (opened)
        trap.run(132, [&] { rs.Close(); });
    showTotals(trap, totalWithdrawal, totalDeposit, pattern);
    showLedgerProblem();
    afterListData();
}

void Form1::showTotals(shell::ErrorTrap& trap, double totalWithdrawal, double totalDeposit, const QString& pattern)
{
    totalWithdrawal = shown(totalWithdrawal);
    totalDeposit = shown(totalDeposit);
    const double balance = shown(totalDeposit - totalWithdrawal);
    trap.run(134, [&] { setCaption(Label1, QStringLiteral("Widrawal: ") + currency::formatAmount(totalWithdrawal, pattern)); });
    trap.run(136, [&] { setCaption(Label2, QStringLiteral("Deposit: ") + currency::formatAmount(totalDeposit, pattern)); });
    trap.run(138, [&] { setCaption(Label3, QStringLiteral("Balance: ") + currency::formatAmount(balance, pattern)); });
    trap.run(140, [&] { setCaption(Label11, QStringLiteral("Widrawal: ") + platform::numberText(totalWithdrawal)); });
    trap.run(142, [&] { setCaption(Label22, QStringLiteral("Deposit: ") + platform::numberText(totalDeposit)); });
    trap.run(144, [&] { setCaption(Label33, QStringLiteral("Balance: ") + platform::numberText(balance)); });
}

void Form1::ListTotals()
{
    // The same rows and the same sums as ListData, without a row going into the list:
    // a row the list cannot show (no date) never keeps the report from being written.
    shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    data::Recordset rs;
    const bool opened = trap.run(104, [&] { rs.Open(data::kLedgerQuery, data::connection(), 3, 1); });
    double totalWithdrawal = 0;
    double totalDeposit = 0;
    CachedField withdrawal(rs, u"WithdrawalAmount"), deposit(rs, u"DepositAmount");
    while (opened && trap.loop(110, [&] { return !rs.eof(); })) {
        trap.run(126, [&] { totalWithdrawal += countable(withdrawal.value()); });
        trap.run(128, [&] { totalDeposit += countable(deposit.value()); });
        trap.run(130, [&] { rs.MoveNext(); });
    }
    if (opened)
        trap.run(132, [&] { rs.Close(); });
    showTotals(trap, totalWithdrawal, totalDeposit, currency::OwnCurrencyFormat());
}

void Form1::othersChanged()
{
    // Another desktop's change: shown where the user is, ticks and all, and to an editor
    // open on a row it touched.
    if (m_listing) {
        m_othersPending = true;
        return;
    }
    reloadInPlace(Changed::None);
    emit ledgerChangedElsewhere();
}

void Form1::reloadInPlace(Changed changed, std::optional<qint64> stepRow)
{
    TransactionList::Place place = ListView1->place();
    const TransactionListModel& rows = ListView1->items();
    const std::optional<qint64> newestBefore = changed == Changed::Newest ? rows.highestId() : std::nullopt;
    ListData();
    if (changed == Changed::Newest) {
        const std::optional<qint64> newest = rows.highestId();
        if (newest && (!newestBefore || *newest > *newestBefore))
            place.current = newest;
    }
    if (stepRow && rows.viewRowOfId(*stepRow) >= 0)
        place.current = stepRow;
    ListView1->restorePlace(place, changed != Changed::None);
}

void Form1::showLedgerProblem()
{
    // Marked without moving anything: the caption carries a note, the summary the
    // whole message.
    setWindowTitle(kProductName + data::ledgerTitleNote() + data::ledgerProblemNote());
    Frame1->setToolTip(data::ledgerProblemMessage());
}

void Form1::ListView1_ColumnClick(int index)
{
    int previous = -1;
    if (ListView1->sorted())
        previous = ListView1->sortKey();
    ListView1->setSorted(false);
    if (index == previous + 1) {
        if (ListView1->sortOrder() == 0)
            ListView1->setSortOrder(1);
        else if (ListView1->sortOrder() == 1)
            ListView1->setSortOrder(0);
    } else {
        ListView1->setSortOrder(0);
    }
    ListView1->setSortKey(index - 1);
    ListView1->setSorted(true);
}

QSize Form1::designSize() const
{
    return {shell::toPixels(kClientWidth, this), shell::toPixels(kClientHeight, this)};
}

// A fixed border in the normal state, while maximise and restore still work. Window
// managers offer no maximise to a window whose size cannot change at all, so the normal
// window keeps one pixel of play in its height, which resizeEvent takes back at once.
void Form1::fitBorderToState()
{
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else if (!(windowState() & Qt::WindowMinimized)) {
        setMinimumSize(designSize());
        setMaximumSize(designSize() + QSize(0, 1));
    }
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fitBorderToState();
    // The full check of the ledger runs once the list is on screen, beside the user.
    if (!std::exchange(m_checkStarted, true))
        QTimer::singleShot(0, this, [] { data::checkLedgerInBackground(); });
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A maximised window's size settles after its state has changed, and changes again
    // on another screen: lay it out each time. The normal window's size is fixed, so
    // nothing there moves, least of all the window.
    if (windowStateNumber() == 2) {
        Form_Resize();
    } else if (windowState() == Qt::WindowNoState && size() != designSize()) {
        // Checked once the event has settled, so a resize that belongs to maximising is left alone.
        QTimer::singleShot(0, this, [this] {
            if (windowState() == Qt::WindowNoState && size() != designSize())
                resize(designSize());
        });
    }
}

void Form1::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        if (isVisible())
            fitBorderToState();
        Form_Resize();
    }
}

void Form1::Form_Resize()
{
    MainLayout layout{ListView1, {PushButton2, PushButton1, PushButton3, PushButton7},
                      {PushButton4, PushButton5, PushButton6, PushButton9}, PushButton8, Frame1};
    const int state = windowStateNumber();
    const QRect frame = frameGeometry();
    if (state == 2) {
        layout.applyMaximised(shell::toTwips(frame.width(), this), shell::toTwips(frame.height(), this));
        WasMaximized = true;
    } else if (state == 0 && WasMaximized) {
        layout.applyNormal();
        // Back to the design size, centred on the screen.
        resize(designSize());
        centreOnScreen();
        // The window manager may yet put the restored window back where it was before
        // it was maximised; the first such move in the next moments is undone.
        m_centring = true;
        QTimer::singleShot(kSettleMs, this, [this] { m_centring = false; });
    }
}

QPoint Form1::screenCentre() const
{
    const QScreen* s = screen();
    if (!s)
        return pos();
    const QRect screenRect = s->geometry();
    const QRect outer = frameGeometry();
    return {screenRect.x() + (screenRect.width() - outer.width()) / 2,
            screenRect.y() + (screenRect.height() - outer.height()) / 2};
}

void Form1::centreOnScreen()
{
    move(screenCentre());
}

void Form1::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (m_centring && windowState() == Qt::WindowNoState && pos() != screenCentre()) {
        m_centring = false;
        centreOnScreen();
    }
}

} // namespace mainwindow
