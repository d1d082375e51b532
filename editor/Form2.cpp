#include "editor/Form2.h"

#include "data/Ledger.h"
#include "data/StepNames.h"
#include "data/Undo.h"
#include "editor/TransactionStatements.h"
#include "editor/TypedDate.h"
#include "platform/Conversions.h"
#include "data/Connection.h"
#include "shell/Dialogs.h"
#include "shell/ErrorTrap.h"
#include "platform/FileFunctions.h"
#include "shell/Twips.h"
#include "shell/WindowChrome.h"
#include "shell/UserText.h"

#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <limits>

namespace editor {

namespace {

using shell::ErrorTrap;

QLabel* makeLabel(QWidget* parent, const char* name, int index, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setProperty("index", index);
    return label;
}

template <class W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = named(new QPushButton(caption, parent), name);
    button->setFont(shell::buttonFont());
    button->setAccessibleName(caption);
    // No button is the default, drawn as such: Enter is handled by the window
    // (keyPressEvent), which presses "OK" or the button the user has moved to.
    button->setAutoDefault(false);
    return button;
}

QDate storedDate(const QVariant& value)
{
    if (!value.isValid())
        throw platform::AppError(QStringLiteral("Invalid use of Null"));
    const QDate date = value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
    if (!date.isValid() || date < kFirstDate || date > kLastDate)
        throw platform::AppError(QStringLiteral("Invalid property value"));
    return date;
}

} // namespace

Form2::Form2(QWidget* parent)
    : QDialog(parent)
    , DateTimePicker1(named(new DateBox(this), "DateTimePicker1"))
    , Combo1(named(new QComboBox(this), "Combo1"))
    , PushButton5(makeButton(this, "PushButton5", QStringLiteral("+")))
    , PushButton6(makeButton(this, "PushButton6", QStringLiteral("-")))
    , Text1(named(new QLineEdit(this), "Text1"))
    , Text2(named(new QLineEdit(this), "Text2"))
    , Text3(named(new QLineEdit(this), "Text3"))
    , Frame1(named(new QGroupBox(QStringLiteral("Taxable"), this), "Frame1"))
    , Option1(named(new QRadioButton(QStringLiteral(" Yes"), Frame1), "Option1"))
    , Option2(named(new QRadioButton(QStringLiteral("No"), Frame1), "Option2"))
    , PushButton2(makeButton(this, "PushButton2", QStringLiteral("OK")))
    , PushButton1(makeButton(this, "PushButton1", QStringLiteral("Cancel")))
{
    shell::setDialogFrame(this);
    setWindowTitle(QStringLiteral("Add New"));
    setFont(shell::windowFont());

    m_Label1 = {makeLabel(this, "Label1", 0, QStringLiteral("Date")),
                makeLabel(this, "Label1", 1, QStringLiteral("Widrawal Amount")),
                makeLabel(this, "Label1", 2, QStringLiteral("Description"))};
    m_lblDetails = {makeLabel(this, "lblDetails", 4, QStringLiteral("Account")),
                    makeLabel(this, "lblDetails", 5, QStringLiteral("Deposit Amount"))};
    Label1(0)->setBuddy(DateTimePicker1);
    lblDetails(4)->setBuddy(Combo1);
    Label1(2)->setBuddy(Text1);
    Label1(1)->setBuddy(Text2);
    lblDetails(5)->setBuddy(Text3);

    DateTimePicker1->setDate(QDate::currentDate());
    // "+" and "-" are for the mouse: the keyboard walks the transaction's own fields.
    for (QPushButton* button : {PushButton5, PushButton6})
        button->setFocusPolicy(Qt::ClickFocus);
    Combo1->setEditable(false);
    for (QLineEdit* box : {Text1, Text2, Text3})
        box->setMaxLength(std::numeric_limits<int>::max());
    shell::filterControlCharacters(Text1);
    // "Taxable" is one stop for Tab, at its chosen answer, as in a group of choices
    // anywhere; the arrow keys move between Yes and No.
    for (QRadioButton* option : {Option1, Option2}) {
        connect(option, &QRadioButton::toggled, option, [option](bool on) {
            option->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
        });
    }
    Option1->setFocusPolicy(Qt::ClickFocus);
    Option2->setChecked(true);

    layOut();

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    Text2->installEventFilter(this);
    Text3->installEventFilter(this);
    shell::installPointerHandlers(this, {PushButton1, PushButton2, PushButton5, PushButton6}, {this, Frame1});
}

void Form2::layOut()
{
    shell::setClientSizeTwips(this, 8040, 4935);
    shell::placeTwips(Label1(0), 120, 120, 390, 225);
    shell::placeTwips(DateTimePicker1, 120, 405, 7800, 345);
    shell::placeTwips(lblDetails(4), 120, 820, 705, 225);
    shell::placeTwips(Combo1, 120, 1100, 6840, 345);
    shell::placeTwips(PushButton5, 7080, 1095, 360, 345);
    shell::placeTwips(PushButton6, 7560, 1095, 360, 345);
    shell::placeTwips(Label1(2), 120, 1520, 975, 225);
    shell::placeTwips(Text1, 120, 1800, 7800, 345);
    shell::placeTwips(Label1(1), 120, 2220, 1515, 225);
    shell::placeTwips(Text2, 120, 2500, 7800, 345);
    shell::placeTwips(lblDetails(5), 120, 2920, 1350, 225);
    shell::placeTwips(Text3, 120, 3200, 7800, 345);
    shell::placeTwips(Frame1, 120, 3570, 7800, 735);
    shell::placeTwips(Option1, 240, 300, 1215, 255);
    shell::placeTwips(Option2, 2040, 300, 1215, 255);
    shell::placeTwips(PushButton2, 120, 4420, 3840, 405);
    shell::placeTwips(PushButton1, 4080, 4425, 3840, 405);

    // Captions are left-aligned with free space to their right: where the font in use
    // runs wider than the design's, let a caption grow rather than be cut off.
    for (QLabel* label : {Label1(0), Label1(1), Label1(2), lblDetails(4), lblDetails(5)})
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

    QWidget* order[] = {DateTimePicker1, Combo1, Text1, Text2, Text3, Option1, Option2, PushButton2, PushButton1};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QLabel* Form2::Label1(int index) const
{
    return index >= 0 && index < int(m_Label1.size()) ? m_Label1[size_t(index)] : nullptr;
}

QLabel* Form2::lblDetails(int index) const
{
    return index >= 4 && index < 4 + int(m_lblDetails.size()) ? m_lblDetails[size_t(index - 4)] : nullptr;
}

void Form2::showModal()
{
    m_unloaded = false;
    Form_Load();
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    // Every way out (OK, Cancel, Escape, the close box) unloads the window and so ends exec().
    exec();
}

void Form2::unload()
{
    m_unloaded = true;
    done(QDialog::Rejected);
}

void Form2::reject()
{
    PushButton1_Click();
}

void Form2::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Controls that take Enter themselves (an open list or calendar) never pass it on.
    // A button pressed through click() does what a click does, and nothing while
    // it is disabled.
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    (focused ? focused : PushButton2)->click();
    event->accept();
}

void Form2::Form_Load()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("Form_Load"));
    trap.run(100, [&] { shell::ResetBackColors(this); });
    trap.run(102, [&] { setWindowIcon(shell::programIcon()); });
    if (trap.test(104, [] { return platform::FileExists(shell::handCursorFile()); }))
        trap.run(106, [&] { shell::loadHandCursor(this); });
    trap.run(108, [&] { LoadAccounts(); });
    trap.run(110, [&] { Combo1->setCurrentIndex(-1); });
    trap.run(112, [&] { Text1->setText(QString()); });
    trap.run(114, [&] { Text2->setText(QStringLiteral("0")); });
    trap.run(116, [&] { Text3->setText(QStringLiteral("0")); });
    if (trap.test(118, [&] { return !m_ID.isEmpty(); }))
        trap.run(120, [&] { LoadData(); });
}

void Form2::LoadAccounts()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("LoadAccounts"));
    trap.run(100, [&] { AccountIDs.clear(); });
    trap.run(102, [&] { Combo1->clear(); });
    data::Recordset rs;
    // A query that cannot be opened has been reported; reading it would only report again.
    const bool opened = trap.run(106, [&] { rs.Open(selectAccounts(), data::connection(), 3, 1); });
    while (opened && trap.loop(108, [&] { return !rs.eof(); })) {
        trap.run(110, [&] { AccountIDs.push_back(platform::toLong(rs.Fields(u"AccountID").Value())); });
        if (!trap.run(112, [&] { Combo1->addItem(platform::valueText(rs.Fields(u"AccountName").Value())); })) {
            // Entry i must stay the account of AccountIDs[i], or a save would book the
            // transaction to the wrong account: a name that cannot be shown stays blank.
            Combo1->addItem(QString());
        }
        if (!trap.run(114, [&] { rs.MoveNext(); }))
            break;
    }
    // The list selects its first entry as it is added; the fill leaves none selected.
    Combo1->setCurrentIndex(-1);
    if (rs.isOpen())
        trap.run(116, [&] { rs.Close(); });
}

void Form2::LoadData()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("LoadData"));
    data::Recordset rs;
    if (!trap.run(102, [&] { rs.Open(selectTransaction(m_ID), data::connection(), 3, 1); }))
        return; // reported once; the fields keep their load defaults
    if (trap.test(104, [&] { return !rs.eof(); })) {
        trap.run(106, [&] { DateTimePicker1->setDate(storedDate(rs.Fields(u"TransactionDate").Value())); });
        trap.run(108, [&] {
            const QString name = platform::valueText(rs.Fields(u"AccountName").Value());
            // The first entry of that name, as with two accounts of the same name.
            const int index = Combo1->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (index < 0)
                throw platform::AppError(QStringLiteral("Invalid property value"));
            Combo1->setCurrentIndex(index);
        });
        trap.run(110, [&] { Text1->setText(platform::valueText(rs.Fields(u"TransactionDescription").Value())); });
        trap.run(112, [&] { Text2->setText(amountText(rs.Fields(u"WithdrawalAmount").Value())); });
        trap.run(114, [&] { Text3->setText(amountText(rs.Fields(u"DepositAmount").Value())); });
        if (trap.test(116, [&] {
                const QVariant taxable = rs.Fields(u"Taxable").Value();
                return taxable.isValid() && taxable.toBool();
            }))
            trap.run(118, [&] { Option1->setChecked(true); });
        else
            trap.run(120, [&] { Option2->setChecked(true); });
        // What a Save must still find; a row that cannot be read whole is saved as before.
        try {
            m_read = storedTransaction(rs);
        } catch (const platform::AppError&) {
            m_read.reset();
        }
        if (m_notice)
            m_notice->hide();
    }
    trap.run(122, [&] { rs.Close(); });
}

void Form2::PushButton1_Click()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton1_Click"));
    trap.run(100, [&] { unload(); });
}

void Form2::PushButton2_Click()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click"));
    QString sql;
    trap.setSuffix([&] { return QStringLiteral("sql: ") + sql; });
    auto& dialogs = platform::Dialogs::current();

    if (trap.test(100, [&] { return Combo1->currentIndex() == -1; })) {
        dialogs.MsgBox(QStringLiteral("You forgot to input Reason."), platform::vbOKOnly, platform::appTitle());
        Combo1->setFocus();
        return;
    }
    // A date that is no date is never saved as another: the field says why.
    if (!DateTimePicker1->check()) {
        dialogs.MsgBox(dateRefusal(DateTimePicker1->text()), platform::vbOKOnly | platform::vbExclamation,
                       platform::appTitle());
        DateTimePicker1->setFocus();
        DateTimePicker1->selectAll();
        return;
    }
    int taxable = 0;
    if (trap.test(102, [&] { return Option1->isChecked(); }))
        trap.run(104, [&] { taxable = 1; });
    else if (trap.test(106, [&] { return Option2->isChecked(); }))
        trap.run(108, [&] { taxable = 0; });

    // An amount out of range is not saved: the user corrects it, nothing is lost.
    for (QLineEdit* box : {Text2, Text3}) {
        const QString refusal = amountRefusal(box->text());
        if (!refusal.isEmpty()) {
            dialogs.MsgBox(refusal, platform::vbOKOnly | platform::vbExclamation, platform::appTitle());
            box->setFocus();
            return;
        }
    }
    auto values = [&] {
        return TransactionValues{DateTimePicker1->date(), shell::enteredText(Text1->text()), selectedAccountId(),
                                 Text2->text(), Text3->text(), taxable};
    };
    // A statement that could not be built or run has been reported: nothing was
    // saved, so the window stays open with everything the user entered.
    if (trap.test(110, [&] { return !m_ID.isEmpty(); })) {
        TransactionValues typed;
        if (!trap.run(112, [&] { typed = values(); }) || !saveEdit(trap, sql, typed))
            return;
    } else {
        // Written only while its account is there: someone else may have deleted it
        // since the list of accounts was read, and a row without one is never shown.
        bool accountGone = false;
        if (!trap.run(116, [&] { sql = insertTransaction(values()); })
            || !trap.run(118, [&] {
                   data::Connection& db = data::connection();
                   db.BeginTrans();
                   try {
                       const data::UndoStep step(data::steps::addTransaction());
                       db.Execute(sql);
                       accountGone = !accountExists(selectedAccountId());
                   } catch (...) {
                       db.RollbackTrans();
                       throw;
                   }
                   if (accountGone)
                       db.RollbackTrans();
                   else
                       db.CommitTrans();
               }))
            return;
        if (accountGone) {
            dialogs.MsgBox(accountGoneMessage(Combo1->currentText()), platform::vbOKOnly | platform::vbExclamation,
                           platform::appTitle());
            LoadAccounts();
            Combo1->setFocus();
            return;
        }
    }
    trap.run(120, [&] {
        dialogs.MsgBox(QStringLiteral("Record Successfully Saved"), platform::vbOKOnly, platform::appTitle());
    });
    trap.run(122, [&] { unload(); });
}

bool Form2::accountExists(qint32 accountId)
{
    data::Recordset rs;
    rs.Open(selectAccount(accountId), data::connection(), 3, 1);
    return !rs.eof();
}

std::optional<StoredTransaction> Form2::readAgain()
{
    data::Recordset rs;
    rs.Open(selectTransaction(m_ID), data::connection(), 3, 1);
    if (rs.eof())
        return std::nullopt;
    return storedTransaction(rs);
}

bool Form2::saveEdit(shell::ErrorTrap& trap, QString& sql, TransactionValues toSave)
{
    // Each turn writes only over the row as last read: one that changed meanwhile is
    // read again and merged with, and the merge saved the same way. A row that keeps
    // changing under the user gives up after a few turns, having lost nothing.
    constexpr int kTurns = 5;
    for (int turn = 0; turn < kTurns; ++turn) {
        long long changed = -1;
        if (!trap.run(112, [&] {
                sql = m_read ? updateTransactionIfUnchanged(toSave, m_ID, *m_read) : updateTransaction(toSave, m_ID);
            })
            || !trap.run(114, [&] {
                   const data::UndoStep step(data::steps::editTransaction(m_ID));
                   changed = data::connection().Execute(sql);
               }))
            return false;
        if (changed != 0)
            return true;
        const std::optional<TransactionValues> merged = mergeWithTheirs(toSave);
        if (!merged)
            return false;
        toSave = *merged;
    }
    platform::Dialogs::current().MsgBox(
        QStringLiteral("This transaction keeps being changed by someone else, so nothing was saved. Save again "
                       "when it is quiet."),
        platform::vbOKOnly | platform::vbExclamation, platform::appTitle());
    return false;
}

std::optional<TransactionValues> Form2::mergeWithTheirs(const TransactionValues& yours)
{
    auto& dialogs = platform::Dialogs::current();
    std::optional<StoredTransaction> theirs;
    try {
        theirs = readAgain();
    } catch (const platform::AppError& e) {
        dialogs.MsgBox(e.description(), platform::vbOKOnly | platform::vbExclamation, platform::appTitle());
        return std::nullopt;
    }
    if (!theirs) {
        dialogs.MsgBox(QStringLiteral("This transaction no longer exists, so nothing was saved."),
                       platform::vbOKOnly | platform::vbExclamation, platform::appTitle());
        return std::nullopt;
    }
    // The row reads as it did, but not as the comparison wrote it (a value another
    // program stored its own way): the next turn writes the user's values as before.
    const StoredTransaction read = m_read.value_or(*theirs);
    m_read = theirs;
    if (m_notice)
        m_notice->hide();
    if (*theirs == read) {
        m_read.reset();
        return yours;
    }
    const EditMerge merge = mergeEdit(read, *theirs, yours);
    bool yoursOnConflict = true;
    if (!merge.conflicts.empty()) {
        const QString question = conflictMessage(merge, platform::valueText(theirs->accountName.isValid()
                                                                                ? theirs->accountName
                                                                                : QVariant(QString())),
                                                 Combo1->currentText());
        yoursOnConflict = dialogs.MsgBox(question, platform::vbYesNo | platform::vbQuestion, platform::appTitle())
            == platform::vbYes;
    }
    return merge.merged(yoursOnConflict);
}

void Form2::othersChanged()
{
    if (m_ID.isEmpty() || !m_read || m_unloaded)
        return;
    std::optional<StoredTransaction> now;
    try {
        now = readAgain();
    } catch (const platform::AppError&) {
        return;   // a ledger that cannot be read now says so when it is saved
    }
    if (now && *now == *m_read)
        return;
    if (!m_notice) {
        m_notice = new QLabel(this);
        m_notice->setObjectName(QStringLiteral("changedNotice"));
        m_notice->setWordWrap(true);
        m_notice->setAutoFillBackground(true);
        m_notice->setStyleSheet(QStringLiteral("background: #fff4c2; color: black; border: 1px solid #c9a400; padding: 3px;"));
        m_notice->setToolTip(QStringLiteral("Click to close this notice"));
        m_notice->installEventFilter(this);
    }
    m_notice->setText(changedElsewhereNotice(!now));
    m_notice->setGeometry(0, 0, width(), m_notice->heightForWidth(width()));
    m_notice->raise();
    m_notice->show();
}

void Form2::PushButton5_Click()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton5_Click"));
    QString name;
    trap.run(100, [&] {
        name = shell::enteredText(platform::Dialogs::current().InputBox(QStringLiteral("Enter new From (Payor): "),
                                                                        QStringLiteral("Input From"), QString()));
    });
    if (trap.test(102, [&] { return name.isEmpty(); }))
        return;
    trap.run(104, [&] {
        const data::UndoStep step(data::steps::addAccount(name));
        data::connection().Execute(insertAccount(name));
    });
    trap.run(106, [&] { LoadAccounts(); });
}

void Form2::PushButton6_Click()
{
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton6_Click"));
    if (trap.test(100, [&] { return Combo1->currentIndex() == -1; }))
        return;
    if (trap.test(102, [&] {
            return platform::Dialogs::current().MsgBox(
                       QStringLiteral("Note: Deleting account will also delete transaction data that is "
                                      "linked to this account.\r\nDo you wish to continue?"),
                       platform::vbYesNo, platform::appTitle())
                != platform::vbYes;
        }))
        return;
    {
        // The account and its transactions go, and come back, as one step.
        const data::UndoStep step(accountDeletionStep());
        trap.run(104, [&] { data::connection().Execute(deleteAccount(selectedAccountId())); });
        trap.run(106, [&] { data::connection().Execute(deleteAccountTransactions(selectedAccountId())); });
    }
    trap.run(108, [&] { LoadAccounts(); });
}

QString Form2::accountDeletionStep() const
{
    // The count only names the step: one that cannot be read leaves it unnamed.
    long long transactions = -1;
    try {
        data::Recordset rs;
        rs.Open(countAccountTransactions(selectedAccountId()), data::connection(), 3, 1);
        if (!rs.eof())
            transactions = platform::toLong(rs.Fields(u"CountID").Value());
        rs.Close();
    } catch (const std::exception&) {
    }
    return data::steps::deleteAccount(Combo1->currentText(), transactions);
}

qint32 Form2::selectedAccountId() const
{
    const int index = Combo1->currentIndex();
    if (index < 0 || size_t(index) >= AccountIDs.size())
        throw platform::AppError(QStringLiteral("Subscript out of range"));
    return AccountIDs[size_t(index)];
}

void Form2::Text2_GotFocus() { selectWholeText(Text2); }
void Form2::Text2_LostFocus() { zeroUnlessNumeric(Text2); }
void Form2::Text3_GotFocus() { selectWholeText(Text3); }
void Form2::Text3_LostFocus() { zeroUnlessNumeric(Text3); }

void Form2::selectWholeText(QLineEdit* box)
{
    box->setSelection(0, int(box->text().length()));
}

void Form2::zeroUnlessNumeric(QLineEdit* box)
{
    const QString refusal = amountRefusal(box->text());
    if (!refusal.isEmpty()) {
        box->setText(QStringLiteral("0"));
        platform::Dialogs::current().MsgBox(refusal, platform::vbOKOnly | platform::vbExclamation, platform::appTitle());
        return;
    }
    const QString kept = amountOnLeaving(box->text());
    if (kept != box->text())
        box->setText(kept);
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    // The notice lies over the top of the window: a click puts it away.
    if (watched == m_notice && event->type() == QEvent::MouseButtonPress) {
        m_notice->hide();
        return true;
    }
    auto* box = watched == Text2 || watched == Text3 ? static_cast<QLineEdit*>(watched) : nullptr;
    const bool focusChange = event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut;
    if (!box || !focusChange)
        return QDialog::eventFilter(watched, event);

    // Switching to another program or opening a menu does not move the focus
    // between controls, so it neither selects nor checks the amount.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return QDialog::eventFilter(watched, event);

    if (event->type() == QEvent::FocusIn) {
        box == Text2 ? Text2_GotFocus() : Text3_GotFocus();
        // A click places the caret after focus arrives; select again once it has.
        if (reason == Qt::MouseFocusReason)
            QTimer::singleShot(0, box, [box] { selectWholeText(box); });
    } else {
        box == Text2 ? Text2_LostFocus() : Text3_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace editor
