#include "currency/Form3.h"

#include "currency/CurrencyChoice.h"
#include "shell/Dialogs.h"
#include "shell/ErrorTrap.h"
#include "platform/FileFunctions.h"
#include "shell/Twips.h"
#include "shell/WindowChrome.h"
#include "shell/UserText.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace currency {

namespace {

// The list and placement handlers carry no error report: a choice whose save fails
// stays in force for this session, and the user is told it will not outlast it.
template <class Change>
void keepChoice(Change&& change)
{
    try {
        change();
    } catch (const std::exception& e) {
        platform::Dialogs::current().MsgBox(
            QStringLiteral("Your choice is in use, but it could not be kept for the next start:\r\n")
                + QString::fromUtf8(e.what()),
            platform::vbOKOnly | platform::vbExclamation, platform::appTitle());
    }
}

template <class W>
W* makeControl(QWidget* parent, const char* name, const QFont& font)
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setFont(font);
    return w;
}

} // namespace

Form3::Form3(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Currency Options"));
    shell::setDialogFrame(this);
    setModal(true);
    setFont(shell::windowFont());
    buildControls();
    shell::setClientSizeTwips(this, 8040, 2625);
}

void Form3::buildControls()
{
    const QFont window = shell::windowFont();
    const QFont button = shell::buttonFont();

    Frame2 = makeControl<QGroupBox>(this, "Frame2", window);
    Frame2->setTitle(QStringLiteral("Currency Option"));
    shell::placeTwips(Frame2, 120, 90, 7800, 780);

    Combo2 = makeControl<QComboBox>(Frame2, "Combo2", window);
    Combo2->setEditable(false);
    Combo2->setAccessibleName(Frame2->title());
    shell::placeTwips(Combo2, 240, 300, 5640, 345);

    PushButton3 = makeControl<QPushButton>(Frame2, "PushButton3", button);
    PushButton3->setText(QStringLiteral("+"));
    PushButton3->setAccessibleName(QStringLiteral("Add Currency"));
    shell::placeTwips(PushButton3, 6000, 300, 720, 345);

    PushButton4 = makeControl<QPushButton>(Frame2, "PushButton4", button);
    PushButton4->setText(QStringLiteral("?"));
    PushButton4->setAccessibleName(QStringLiteral("Hint"));
    shell::placeTwips(PushButton4, 6840, 300, 720, 345);

    Frame3 = makeControl<QGroupBox>(this, "Frame3", window);
    Frame3->setTitle(QStringLiteral("Currency Placement Option"));
    shell::placeTwips(Frame3, 120, 945, 7800, 1050);

    // Both placement buttons share Frame3, so choosing one clears the other.
    Option1 = makeControl<QRadioButton>(Frame3, "Option1", window);
    Option1->setText(QStringLiteral("Before number"));
    shell::placeTwips(Option1, 240, 300, 2385, 255);

    Option2 = makeControl<QRadioButton>(Frame3, "Option2", window);
    Option2->setText(QStringLiteral("After number"));
    shell::placeTwips(Option2, 240, 650, 2505, 255);

    PushButton2 = makeControl<QPushButton>(this, "PushButton2", button);
    PushButton2->setText(QStringLiteral("Close"));
    PushButton2->setAutoDefault(false);
    shell::placeTwips(PushButton2, 120, 2115, 7800, 405);
    PushButton3->setAutoDefault(false);
    PushButton4->setAutoDefault(false);

    // A current-index change covers the mouse and the keyboard alike; the flag keeps
    // the window's own filling from counting as a choice.
    connect(Combo2, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            Combo2_Click();
    });
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !m_filling)
            Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !m_filling)
            Option2_Click();
    });
    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form3::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form3::PushButton4_Click);
    // No reset on the bare background: the hand stays there until a frame is crossed.
    shell::installPointerHandlers(this, {PushButton2, PushButton3, PushButton4}, {Frame2, Frame3});
}

void Form3::Form_Load()
{
    shell::ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    trap.run(100, [&] { shell::ResetBackColors(this); });
    trap.run(102, [&] { setWindowIcon(shell::programIcon()); });
    if (trap.test(104, [] { return platform::FileExists(shell::handCursorFile()); }))
        trap.run(106, [&] { shell::loadHandCursor(this); });

    // Statements 108 to 120 read the settings; a choice already loaded for the
    // list is taken as it stands, as an already loaded window is simply shown.
    CurrencyChoice& choice = CurrencyChoice::instance();
    if (!choice.isLoaded())
        choice.load(trap);

    m_filling = true;
    Combo2->clear();
    Combo2->addItems(choice.symbols());
    Combo2->setCurrentIndex(choice.index());
    // A fresh window has neither placement chosen; set only what the choice names.
    if (choice.before())
        Option1->setChecked(true);
    if (choice.after())
        Option2->setChecked(true);
    m_filling = false;
}

void Form3::showModal()
{
    Form_Load();
    exec();
}

void Form3::Combo2_Click()
{
    Combo2_Change();
}

void Form3::Combo2_Change()
{
    keepChoice([&] { CurrencyChoice::instance().choose(Combo2->currentIndex()); });
}

void Form3::Option1_Click()
{
    keepChoice([&] { CurrencyChoice::instance().setOptions(Option1->isChecked(), Option2->isChecked()); });
}

void Form3::Option2_Click()
{
    keepChoice([&] { CurrencyChoice::instance().setOptions(Option1->isChecked(), Option2->isChecked()); });
}

void Form3::PushButton2_Click()
{
    shell::ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("PushButton2_Click"));
    trap.run(100, [&] { done(QDialog::Accepted); });
}

void Form3::PushButton3_Click()
{
    shell::ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("PushButton3_Click"));
    QString answer;
    trap.run(100, [&] {
        answer = shell::enteredText(
            platform::Dialogs::current().InputBox(QStringLiteral("Add Currency"), platform::appTitle(), QString()));
    });
    if (trap.test(102, [&] { return answer.isEmpty(); }))
        return;
    // The answer is taken as typed: the list shows it as one entry even when it holds
    // the separator. The list goes on showing the choice in force: the one it showed,
    // or the new entry when the stored position names it (see appendEntry). A list
    // adds its first entry as its current one, so the index is set again.
    trap.run(104, [&] {
        CurrencyChoice& choice = CurrencyChoice::instance();
        choice.appendEntry(answer);
        m_filling = true;
        Combo2->addItem(answer);
        Combo2->setCurrentIndex(choice.index());
        m_filling = false;
    });
    QString list;
    // A stored list that cannot be read (reported) is not written over with less.
    if (!trap.run(106, [&] { list = CurrencyChoice::storedList(); }))
        return;
    // An empty stored list holds no entries: the answer becomes its only one, not the
    // second after an empty one, so positions stay those the window shows.
    trap.run(108, [&] { list = list.isEmpty() ? answer : list + kListSeparator + answer; });
    trap.run(110, [&] { CurrencyChoice::saveList(list); });
}

void Form3::PushButton4_Click()
{
    shell::ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("PushButton4_Click"));
    trap.run(100, [] {
        platform::Dialogs::current().MsgBox(
            QStringLiteral("You use a currency already in the list or add your own using the '+' button."),
            platform::vbOKOnly, platform::appTitle());
    });
}

void Form3::done(int result)
{
    // Closing unloads the window: the choice it showed is read afresh next time.
    CurrencyChoice::instance().unload();
    QDialog::done(result);
}

} // namespace currency
