#include "main/ImportWindow.h"

#include "data/Ledger.h"
#include "importer/StatementReader.h"
#include "importing/CsvProfiles.h"
#include "importing/ImportWriter.h"
#include "shell/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mainwindow {

namespace {

enum Column { Date, Account, Description, Withdrawal, Deposit, Status, Columns };

QString statusText(const importing::PlannedRow& row)
{
    switch (row.status) {
    case importing::RowStatus::New: return QStringLiteral("new");
    case importing::RowStatus::InLedger: return QStringLiteral("already in the ledger");
    case importing::RowStatus::PossibleMatch: return QStringLiteral("possible match");
    case importing::RowStatus::NotReadable:
        // Most readers name the line in the reason already; it is said once.
        if (row.row.line > 0
            && !row.row.problem.contains(QStringLiteral("line %1").arg(row.row.line), Qt::CaseInsensitive))
            return QStringLiteral("not readable (line %1): %2").arg(row.row.line).arg(row.row.problem);
        return QStringLiteral("not readable: ") + row.row.problem;
    }
    return {};
}

QTableWidgetItem* cell(const QString& text, bool right = false)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (right)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

ImportWindow::ImportWindow(const QString& file, QWidget* parent) : QDialog(parent), m_file(file)
{
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("Import Statement"));
    m_plan.fileName = QFileInfo(file).fileName();

    m_account = new QComboBox(this);
    m_dateOrder = new QComboBox(this);
    m_dateOrderLabel = new QLabel(QStringLiteral("Date order:"), this);
    m_addMatches = new QCheckBox(QStringLiteral("Tick every possible match"), this);
    m_rows = new QTableWidget(0, Columns, this);
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

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File:"), new QLabel(m_plan.fileName, this));
    form->addRow(QStringLiteral("Import into:"), m_account);
    form->addRow(m_dateOrderLabel, m_dateOrder);
    form->addRow(QStringLiteral("Columns:"), m_mappingRow);
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

    data::Recordset rs;
    rs.Open(QStringLiteral("select AccountID, AccountName from Accounts order by AccountName"), data::connection());
    for (; !rs.eof(); rs.MoveNext())
        m_account->addItem(rs.Fields(u"AccountName").Value().toString(), rs.Fields(u"AccountID").Value().toLongLong());

    readFile();
    const int remembered = m_account->findData(importing::accountForSource(importing::statementSource(m_statement)));
    if (remembered >= 0)
        m_account->setCurrentIndex(remembered);
    replan();

    connect(m_account, &QComboBox::currentIndexChanged, this, [this] { replan(); });
    connect(m_addMatches, &QCheckBox::toggled, this, [this] { replan(); });
    connect(m_dateOrder, &QComboBox::currentIndexChanged, this, [this] {
        readFile();
        replan();
    });
    for (QComboBox* box : m_columns)
        connect(box, &QComboBox::currentIndexChanged, this, &ImportWindow::mappingChanged);
    connect(m_invert, &QCheckBox::toggled, this, &ImportWindow::mappingChanged);
    connect(m_rows, &QTableWidget::itemChanged, this, [this] { enableImport(); });
    connect(m_import, &QPushButton::clicked, this, &ImportWindow::importNow);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
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
    m_statement = importer::readStatementFile(m_file, options);
    if (m_statement.format == importer::Format::Csv) {
        if (auto profile = m_mapping ? m_mapping : importing::profileForHeader(m_statement.csvFingerprint)) {
            options.csvProfile = profile;
            m_statement = importer::readStatementFile(m_file, options);
        }
    }
    if (m_dateOrder->count() == 0 && m_statement.dateOrderAmbiguous()) {
        QSignalBlocker quiet(m_dateOrder);
        m_dateOrder->addItem(QStringLiteral("Choose: every date fits more than one order"), -1);
        for (importer::DateOrder order : m_statement.dateOrderCandidates)
            m_dateOrder->addItem(importer::dateOrderName(order), int(order));
    }
    m_dateOrderLabel->setVisible(m_dateOrder->count() > 0);
    m_dateOrder->setVisible(m_dateOrder->count() > 0);
    showMapping();
}

// The columns the rows were read with, each box listing the header's names.
void ImportWindow::showMapping()
{
    const bool csv = m_statement.format == importer::Format::Csv && !m_statement.csvHeader.isEmpty();
    m_mappingRow->setVisible(csv);
    if (!csv)
        return;
    const importer::CsvProfile& profile = m_statement.csvProfile;
    const int chosen[] = {profile.dateColumn, profile.amountColumn, profile.withdrawalColumn, profile.depositColumn,
                          profile.indicatorColumn,
                          profile.descriptionColumns.isEmpty() ? -1 : profile.descriptionColumns.front()};
    for (int i = 0; i < 6; ++i) {
        QSignalBlocker quiet(m_columns[i]);
        m_columns[i]->clear();
        m_columns[i]->addItem(QStringLiteral("(none)"), -1);
        for (int column = 0; column < m_statement.csvHeader.size(); ++column)
            m_columns[i]->addItem(m_statement.csvHeader[column], column);
        m_columns[i]->setCurrentIndex(std::max(0, m_columns[i]->findData(chosen[i])));
    }
    QSignalBlocker quiet(m_invert);
    m_invert->setChecked(profile.invertSigns);
}

// A changed column reads the file again with the mapping as the boxes now show it; the
// description keeps the further columns it was joined from unless its first is changed.
void ImportWindow::mappingChanged()
{
    importer::CsvProfile profile = m_statement.csvProfile;
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
    replan();
}

void ImportWindow::replan()
{
    m_rows->setRowCount(0);
    const bool unanswered = m_dateOrder->count() > 0 && m_dateOrder->currentIndex() <= 0;
    QString problem;
    if (m_account->count() == 0)
        problem = QStringLiteral("The ledger has no accounts: add the account to import into first.");
    else if (!m_statement.refusal.isEmpty())
        problem = m_statement.refusal;
    else if (unanswered)
        problem = QStringLiteral("Every date in the file fits more than one order: choose the date order.");
    if (!problem.isEmpty()) {
        m_plan.rows.clear();
        m_summary->setText(problem);
        m_import->setEnabled(false);
        return;
    }
    const QString fileName = m_plan.fileName;
    m_plan = importing::planImport(m_statement, m_account->currentData().toLongLong(), fileName);

    const QString accountName = m_account->currentText();
    m_rows->setUpdatesEnabled(false);
    m_rows->setRowCount(int(m_plan.rows.size()));
    for (int i = 0; i < m_plan.rows.size(); ++i) {
        const importing::PlannedRow& planned = m_plan.rows[i];
        const importer::Row& row = planned.row;
        const bool readable = planned.status != importing::RowStatus::NotReadable;
        m_rows->setItem(i, Date, cell(row.date.isValid() ? row.date.toString(Qt::ISODate) : QString()));
        m_rows->setItem(i, Account, cell(accountName));
        m_rows->setItem(i, Description, cell(row.description));
        m_rows->setItem(i, Withdrawal, cell(readable && row.cents < 0 ? importer::centsText(-row.cents) : QString(), true));
        m_rows->setItem(i, Deposit, cell(readable && row.cents >= 0 ? importer::centsText(row.cents) : QString(), true));
        QTableWidgetItem* status = cell(statusText(planned));
        if (planned.status == importing::RowStatus::PossibleMatch) {
            // Ticked: added as a row of its own; else taken as the row typed by hand.
            status->setFlags(status->flags() | Qt::ItemIsUserCheckable);
            status->setCheckState(m_addMatches->isChecked() ? Qt::Checked : Qt::Unchecked);
            status->setToolTip(QStringLiteral("Tick to add it as a new row; else it is taken as the row typed by hand."));
        }
        m_rows->setItem(i, Status, status);
    }
    m_rows->resizeColumnsToContents();
    m_rows->setUpdatesEnabled(true);

    const int fresh = m_plan.count(importing::RowStatus::New);
    const int matches = m_plan.count(importing::RowStatus::PossibleMatch);
    QString text = QStringLiteral("%1 new, %2 already in the ledger, %3 possible matches, %4 not readable.")
                       .arg(fresh)
                       .arg(m_plan.count(importing::RowStatus::InLedger))
                       .arg(matches)
                       .arg(m_plan.count(importing::RowStatus::NotReadable));
    if (matches > 0)
        text += QStringLiteral(" Possible matches are taken as the rows typed by hand and not added, unless ticked.");
    if (m_plan.closingDifference && *m_plan.closingDifference != 0)
        text += QStringLiteral(" The statement's closing balance, %1, differs from the account's by %2.")
                    .arg(importer::centsText(m_plan.closing->cents), importer::centsText(*m_plan.closingDifference));
    for (const QString& note : m_statement.notes)
        text += u' ' + note;
    m_summary->setText(text);
    enableImport();
}

int ImportWindow::tickedMatches() const
{
    int ticked = 0;
    for (int i = 0; i < m_plan.rows.size() && i < m_rows->rowCount(); ++i) {
        const QTableWidgetItem* status = m_rows->item(i, Status);   // none while the rows are filled
        ticked += m_plan.rows[i].status == importing::RowStatus::PossibleMatch && status
            && status->checkState() == Qt::Checked;
    }
    return ticked;
}

void ImportWindow::enableImport()
{
    m_import->setEnabled(!m_plan.rows.isEmpty() && (m_plan.count(importing::RowStatus::New) > 0 || tickedMatches() > 0));
}

void ImportWindow::importNow()
{
    if (!m_import->isEnabled())
        return;
    // The ticked matches go in as new rows; the others stay the rows typed by hand.
    importing::ImportPlan plan = m_plan;
    int skipped = 0;
    for (int i = 0; i < plan.rows.size(); ++i) {
        if (plan.rows[i].status != importing::RowStatus::PossibleMatch)
            continue;
        if (m_rows->item(i, Status)->checkState() == Qt::Checked)
            plan.rows[i].status = importing::RowStatus::New;
        else
            ++skipped;
    }
    int added = 0;
    try {
        added = importing::writeImport(plan, importing::Matches::Skip);
    } catch (const platform::AppError& error) {
        platform::Dialogs::current().MsgBox(QStringLiteral("Nothing was imported from %1: %2")
                                                .arg(m_plan.fileName, error.description()),
                                            platform::vbExclamation);
        return;
    }
    importing::rememberAccountForSource(importing::statementSource(m_statement), m_plan.accountId);
    if (m_statement.format == importer::Format::Csv)
        importing::rememberProfileForHeader(m_statement.csvFingerprint, m_statement.csvProfile);
    m_outcome = QStringLiteral("%1 added, %2 already in the ledger, %3 not readable")
                    .arg(added)
                    .arg(plan.count(importing::RowStatus::InLedger) + skipped)
                    .arg(m_plan.count(importing::RowStatus::NotReadable));
    accept();
}

} // namespace mainwindow
