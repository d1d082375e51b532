#include "main/ImportWindow.h"

#include "currency/CurrencyChoice.h"
#include "data/Ledger.h"
#include "importer/StatementReader.h"
#include "importing/CsvProfiles.h"
#include "importing/ImportWriter.h"
#include "importing/OtherAccounts.h"
#include "main/ImportWindowTexts.h"
#include "shell/Dialogs.h"
#include "shell/UserText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mainwindow {

namespace {

enum Column { Date, Account, Description, Withdrawal, Deposit, Status, Columns };

QTableWidgetItem* cell(const QString& text, bool right = false)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (right)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// "1234 (CHECKING)": how a statement of a file of several is told apart.
QString statementName(const importing::StatementAccount& account)
{
    return account.type.isEmpty() ? account.id : account.id + QStringLiteral(" (") + account.type + u')';
}

} // namespace

ImportWindow::ImportWindow(const QString& file, QWidget* parent)
    : QDialog(parent), m_file(file), m_fileName(QFileInfo(file).fileName())
{
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("Import Statement"));
    m_pattern = currency::OwnCurrencyFormat();

    m_dateOrder = new QComboBox(this);
    m_dateOrderLabel = new QLabel(QStringLiteral("Date order:"), this);
    m_addMatches = new QCheckBox(QStringLiteral("Tick every possible match"), this);
    m_rows = new QTableWidget(0, Columns, this);
    m_rows->setAccessibleName(QStringLiteral("Statement rows"));
    m_rows->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Account"), QStringLiteral("Description"),
                                       QStringLiteral("Withdrawal"), QStringLiteral("Deposit"), QStringLiteral("Status")});
    m_rows->verticalHeader()->hide();
    m_rows->horizontalHeader()->setStretchLastSection(true);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_import = new QPushButton(QStringLiteral("Import"), this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_import->setDefault(true);

    m_mappingRow = new QWidget(this);
    auto* mapping = new QHBoxLayout(m_mappingRow);
    mapping->setContentsMargins(0, 0, 0, 0);
    const char* roles[] = {"Date", "Amount", "Withdrawal", "Deposit", "D/C", "Description"};
    for (int i = 0; i < 6; ++i) {
        mapping->addWidget(new QLabel(QString::fromLatin1(roles[i]) + u':', m_mappingRow));
        m_columns[i] = new QComboBox(m_mappingRow);
        mapping->addWidget(m_columns[i], 1);
    }
    m_invert = new QCheckBox(QStringLiteral("Invert signs"), m_mappingRow);
    mapping->addWidget(m_invert);
    m_mappingLabel = new QLabel(QStringLiteral("Columns:"), this);

    m_accounts = importing::ledgerAccounts();
    readFile();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File:"), new QLabel(m_fileName, this));
    addAccountRows(form);
    form->addRow(m_dateOrderLabel, m_dateOrder);
    form->addRow(m_mappingLabel, m_mappingRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_addMatches);
    buttons->addStretch();
    buttons->addWidget(m_import);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_rows, 1);
    layout->addWidget(m_summary);
    layout->addLayout(buttons);
    resize(760, 480);
    showMapping();

    fillAccountBoxes();
    chooseAccounts();
    safely([this] { replan(); });

    for (QComboBox* box : std::as_const(m_accountBoxes))
        connect(box, &QComboBox::currentIndexChanged, this, [this] { safely([this] { replan(); }); });
    connect(m_addMatches, &QCheckBox::toggled, this, [this] { safely([this] { replan(); }); });
    connect(m_dateOrder, &QComboBox::currentIndexChanged, this, [this] {
        safely([this] {
            readFile();
            showMapping();
            replan();
        });
    });
    for (QComboBox* box : m_columns)
        connect(box, &QComboBox::currentIndexChanged, this, [this] { safely([this] { mappingChanged(); }); });
    connect(m_invert, &QCheckBox::toggled, this, [this] { safely([this] { mappingChanged(); }); });
    connect(m_rows, &QTableWidget::itemChanged, this, [this] { enableImport(); });
    connect(m_import, &QPushButton::clicked, this, &ImportWindow::importNow);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// An account box and "New Account…" for each account's statement; a screen reader reads
// the box as what it is for, not as the account it shows.
void ImportWindow::addAccountRows(QFormLayout* form)
{
    const bool several = m_statements.size() > 1;
    for (int i = 0; i < m_statements.size(); ++i) {
        auto* row = new QWidget(this);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        auto* box = new QComboBox(row);
        auto* make = new QPushButton(QStringLiteral("New Account") + QChar(0x2026), row);
        const QString what = several ? QStringLiteral("Import %1 into").arg(statementName(m_statements[i].account))
                                     : QStringLiteral("Import into");
        box->setAccessibleName(what);
        make->setAccessibleName(QStringLiteral("New Account"));
        make->setToolTip(QStringLiteral("Makes a new account and imports into it"));
        line->addWidget(box, 1);
        line->addWidget(make);
        auto* label = new QLabel(what + u':', this);
        label->setBuddy(box);
        form->addRow(label, row);
        m_accountBoxes.append(box);
        m_newAccountButtons.append(make);
        connect(make, &QPushButton::clicked, this, [this, i] { safely([this, i] { newAccount(i); }); });
    }
}

// Every box lists the ledger's accounts after a choice that is none; a box keeps what it
// showed.
void ImportWindow::fillAccountBoxes()
{
    for (QComboBox* box : std::as_const(m_accountBoxes)) {
        const QSignalBlocker quiet(box);
        const qint64 chosen = box->currentData().toLongLong();
        box->clear();
        box->addItem(QStringLiteral("(choose an account)"), qint64(0));
        for (const importing::LedgerAccount& account : std::as_const(m_accounts))
            box->addItem(account.name, account.id);
        box->setCurrentIndex(std::max(0, box->findData(chosen)));
    }
}

void ImportWindow::chooseAccounts()
{
    for (int i = 0; i < m_accountBoxes.size() && i < m_statements.size(); ++i) {
        const importing::AccountStatement& statement = m_statements[i];
        const qint64 remembered = importing::accountForSource(importing::statementSource(statement.statement));
        const qint64 id = importing::suggestedAccount(m_accounts, remembered, statement.account);
        const QSignalBlocker quiet(m_accountBoxes[i]);
        m_accountBoxes[i]->setCurrentIndex(std::max(0, m_accountBoxes[i]->findData(id)));
    }
}

// "New Account…": a name proposed from the statement, the account made as the editor
// makes one (an undo step of its own), and chosen for the statement.
void ImportWindow::newAccount(int statement)
{
    const QString name = shell::enteredText(platform::Dialogs::current().InputBox(
        QStringLiteral("Name of the new account:"), QStringLiteral("New Account"),
        importing::proposedAccountName(m_statements.value(statement).account)));
    if (name.isEmpty())
        return;
    const qint64 id = importing::createAccount(name);
    m_accounts = importing::ledgerAccounts();
    fillAccountBoxes();
    QComboBox* box = m_accountBoxes[statement];
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(std::max(0, box->findData(id)));
    replan();
}

QStringList ImportWindow::statuses() const
{
    QStringList texts;
    for (int row = 0; row < m_rows->rowCount(); ++row)
        texts << m_rows->item(row, Status)->text();
    return texts;
}

// Reads the file with the mapping last used for its CSV header and the date order
// answered in the window; the first reading only finds which header it is.
void ImportWindow::readFile()
{
    importer::ReadOptions options;
    if (m_dateOrder->currentIndex() > 0)
        options.dateOrder = importer::DateOrder(m_dateOrder->currentData().toInt());
    m_statements = importing::readAccountStatements(m_file, options);
    const importer::Statement& first = m_statements.front().statement;
    if (first.format == importer::Format::Csv) {
        if (auto profile = m_mapping ? m_mapping : importing::profileForHeader(first.csvFingerprint)) {
            options.csvProfile = profile;
            m_statements = importing::readAccountStatements(m_file, options);
        }
    }
    const importer::Statement& statement = m_statements.front().statement;
    if (m_dateOrder->count() == 0 && statement.dateOrderAmbiguous()) {
        QSignalBlocker quiet(m_dateOrder);
        m_dateOrder->addItem(QStringLiteral("Choose: every date fits more than one order"), -1);
        for (importer::DateOrder order : statement.dateOrderCandidates)
            m_dateOrder->addItem(importer::dateOrderName(order), int(order));
    }
    m_dateOrderLabel->setVisible(m_dateOrder->count() > 0);
    m_dateOrder->setVisible(m_dateOrder->count() > 0);
}

// The columns the rows were read with, each box listing the header's names; only a CSV
// file has columns to show.
void ImportWindow::showMapping()
{
    const importer::Statement& statement = m_statements.front().statement;
    const bool csv = statement.format == importer::Format::Csv && !statement.csvHeader.isEmpty();
    m_mappingRow->setVisible(csv);
    m_mappingLabel->setVisible(csv);
    if (!csv)
        return;
    const importer::CsvProfile& profile = statement.csvProfile;
    const int chosen[] = {profile.dateColumn, profile.amountColumn, profile.withdrawalColumn, profile.depositColumn,
                          profile.indicatorColumn,
                          profile.descriptionColumns.isEmpty() ? -1 : profile.descriptionColumns.front()};
    for (int i = 0; i < 6; ++i) {
        QSignalBlocker quiet(m_columns[i]);
        m_columns[i]->clear();
        m_columns[i]->addItem(QStringLiteral("(none)"), -1);
        for (int column = 0; column < statement.csvHeader.size(); ++column)
            m_columns[i]->addItem(statement.csvHeader[column], column);
        m_columns[i]->setCurrentIndex(std::max(0, m_columns[i]->findData(chosen[i])));
    }
    QSignalBlocker quiet(m_invert);
    m_invert->setChecked(profile.invertSigns);
}

// A changed column reads the file again with the mapping as the boxes now show it; the
// description keeps the further columns it was joined from unless its first is changed.
void ImportWindow::mappingChanged()
{
    importer::CsvProfile profile = m_statements.front().statement.csvProfile;
    const auto column = [this](Role role) { return m_columns[int(role)]->currentData().toInt(); };
    profile.dateColumn = column(Role::Date);
    profile.amountColumn = column(Role::Amount);
    profile.withdrawalColumn = column(Role::Withdrawal);
    profile.depositColumn = column(Role::Deposit);
    profile.indicatorColumn = column(Role::Indicator);
    const int description = column(Role::Description);
    if (profile.descriptionColumns.isEmpty() || profile.descriptionColumns.front() != description)
        profile.descriptionColumns = description >= 0 ? QList<int>{description} : QList<int>{};
    profile.invertSigns = m_invert->isChecked();
    m_mapping = profile;
    readFile();
    showMapping();
    replan();
}

void ImportWindow::safely(const std::function<void()>& handler)
{
    try {
        m_trouble.clear();
        handler();
        return;
    } catch (const platform::AppError& error) {
        m_trouble = error.description();
    } catch (const std::exception& error) {
        m_trouble = QString::fromLocal8Bit(error.what());
    }
    // Nothing shown can be trusted now: the rows go, Import with them, until the next
    // change reads the ledger again.
    // The what (its first paragraph), not the driver's account of how.
    static const QRegularExpression blankLine(QStringLiteral("\\n\\s*\\n"));
    m_trouble = m_trouble.section(blankLine, 0, 0).simplified();
    m_plans.clear();
    m_rows->setRowCount(0);
    m_import->setEnabled(false);
    m_summary->setText(QStringLiteral("The ledger could not be read, so nothing can be shown or imported now (%1). "
                                      "Choose the account again to try once more, or cancel.")
                           .arg(m_trouble));
}

void ImportWindow::replan()
{
    m_rows->setRowCount(0);
    m_plans.clear();
    const bool unanswered = m_dateOrder->count() > 0 && m_dateOrder->currentIndex() <= 0;
    QString problem;
    for (const importing::AccountStatement& statement : std::as_const(m_statements)) {
        if (problem.isEmpty() && !statement.statement.refusal.isEmpty())
            problem = statement.statement.refusal;
    }
    if (problem.isEmpty() && unanswered)
        problem = QStringLiteral("Every date in the file fits more than one order: choose the date order.");
    if (!problem.isEmpty()) {
        m_summary->setText(problem);
        m_import->setEnabled(false);
        return;
    }
    planStatements();
    showRows();
}

void ImportWindow::planStatements()
{
    for (int i = 0; i < m_statements.size(); ++i)
        m_plans.append(importing::planImport(m_statements[i].statement, m_accountBoxes[i]->currentData().toLongLong(),
                                             m_fileName));
}

void ImportWindow::showRows()
{
    int count = 0;
    for (const importing::ImportPlan& plan : std::as_const(m_plans))
        count += int(plan.rows.size());
    const QSignalBlocker quiet(m_rows);
    m_rows->setUpdatesEnabled(false);
    m_rows->setRowCount(count);
    QStringList summary;
    bool unchosen = false;
    int at = 0;
    for (int s = 0; s < m_plans.size(); ++s) {
        const importing::ImportPlan& plan = m_plans[s];
        const QString accountName = plan.accountId != 0 ? m_accountBoxes[s]->currentText() : QString();
        for (const importing::PlannedRow& planned : plan.rows) {
            const importer::Row& row = planned.row;
            const bool readable = planned.status != importing::RowStatus::NotReadable;
            m_rows->setItem(at, Date, cell(importtexts::dateText(row.date)));
            m_rows->setItem(at, Account, cell(accountName));
            m_rows->setItem(at, Description, cell(row.description));
            m_rows->setItem(at, Withdrawal,
                            cell(readable && row.cents < 0 ? importtexts::amountText(-row.cents, m_pattern) : QString(), true));
            m_rows->setItem(at, Deposit,
                            cell(readable && row.cents >= 0 ? importtexts::amountText(row.cents, m_pattern) : QString(), true));
            QTableWidgetItem* status = cell(importtexts::statusText(planned, m_pattern));
            if (planned.status == importing::RowStatus::PossibleMatch) {
                // Ticked: added as a row of its own; else taken as the row typed by hand.
                status->setFlags(status->flags() | Qt::ItemIsUserCheckable);
                status->setCheckState(m_addMatches->isChecked() ? Qt::Checked : Qt::Unchecked);
                status->setToolTip(importtexts::matchToolTip(planned, m_pattern));
            }
            m_rows->setItem(at++, Status, status);
        }
        QString text = importtexts::summaryText(plan, m_pattern);
        if (m_plans.size() > 1)
            text = QStringLiteral("%1: ").arg(statementName(m_statements[s].account)) + text;
        if (plan.accountId == 0)
            unchosen = unchosen || !plan.rows.isEmpty();
        else if (const QString other = importing::accountHoldingMost(plan); !other.isEmpty())
            text += u' ' + importing::heldElsewhereText(other, accountName);
        for (const QString& note : m_statements[s].statement.notes)
            text += u' ' + note;
        summary << text;
    }
    m_rows->resizeColumnsToContents();
    m_rows->setUpdatesEnabled(true);
    if (unchosen)
        summary.prepend(m_accounts.isEmpty()
                            ? QStringLiteral("The ledger has no accounts: make one with \"New Account…\" to import into.")
                            : QStringLiteral("Choose the account to import into (or make one with \"New Account…\")."));
    m_summary->setText(summary.join(u'\n'));
    enableImport();
}

int ImportWindow::tickedMatches() const
{
    int ticked = 0, at = 0;
    for (const importing::ImportPlan& plan : m_plans) {
        for (const importing::PlannedRow& planned : plan.rows) {
            const QTableWidgetItem* status = m_rows->item(at++, Status);   // none while the rows are filled
            ticked += planned.status == importing::RowStatus::PossibleMatch && status
                && status->checkState() == Qt::Checked;
        }
    }
    return ticked;
}

void ImportWindow::enableImport()
{
    bool chosen = !m_plans.isEmpty(), adding = false;
    for (const importing::ImportPlan& plan : std::as_const(m_plans)) {
        // A statement with no rows (an account with no activity) needs no account.
        chosen = chosen && (plan.accountId != 0 || plan.rows.isEmpty());
        adding = adding || plan.count(importing::RowStatus::New) > 0;
    }
    m_import->setEnabled(chosen && (adding || tickedMatches() > 0));
}

void ImportWindow::importNow()
{
    if (!m_import->isEnabled())
        return;
    // The ticked matches go in as new rows; the others stay the rows typed by hand.
    QList<importing::ImportPlan> plans = m_plans;
    int skipped = 0, at = 0, inLedger = 0, unreadable = 0;
    for (importing::ImportPlan& plan : plans) {
        for (importing::PlannedRow& row : plan.rows) {
            const QTableWidgetItem* status = m_rows->item(at++, Status);
            if (row.status != importing::RowStatus::PossibleMatch)
                continue;
            if (status && status->checkState() == Qt::Checked)
                row.status = importing::RowStatus::New;
            else
                ++skipped;
        }
    }
    int added = 0;
    try {
        added = importing::writeImports(plans, importing::Matches::Skip);
    } catch (const platform::AppError& error) {
        platform::Dialogs::current().MsgBox(QStringLiteral("Nothing was imported from %1: %2")
                                                .arg(m_fileName, error.description()),
                                            platform::vbExclamation);
        return;
    }
    // Counted as written: the writer may have found rows stored since the preview.
    for (const importing::ImportPlan& plan : std::as_const(plans)) {
        inLedger += plan.count(importing::RowStatus::InLedger);
        unreadable += plan.count(importing::RowStatus::NotReadable);
    }
    for (int s = 0; s < plans.size(); ++s)
        importing::rememberAccountForSource(importing::statementSource(m_statements[s].statement), plans[s].accountId);
    const importer::Statement& first = m_statements.front().statement;
    if (first.format == importer::Format::Csv)
        importing::rememberProfileForHeader(first.csvFingerprint, first.csvProfile);
    m_outcome = QStringLiteral("%1 added, %2 already in the ledger, %3 not readable")
                    .arg(added)
                    .arg(inLedger + skipped)
                    .arg(unreadable);
    accept();
}

} // namespace mainwindow
