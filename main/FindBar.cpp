#include "main/FindBar.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

namespace mainwindow {

// A child of the list's own parent, not of the list: a screen reader walks a list's
// cells, never widgets laid inside it, so the bar would be out of its reach there.
FindBar::FindBar(QAbstractScrollArea* list) : QFrame(list->parentWidget()), m_list(list), m_rows(list->viewport())
{
    setObjectName(QStringLiteral("FindBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 2, 2);
    row->setSpacing(6);
    auto* caption = new QLabel(QStringLiteral("Find:"), this);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("txtFind"));
    m_field->setAccessibleName(QStringLiteral("Find"));
    m_field->setPlaceholderText(QStringLiteral("words, 42.50, >1000, 2025-03, account:Cash, -transfer"));
    m_field->setToolTip(languageHelp());
    m_field->setClearButtonEnabled(false);
    caption->setBuddy(m_field);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblFindCount"));
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("cmdFindClose"));
    m_close->setText(QStringLiteral("\u2715"));
    m_close->setToolTip(QStringLiteral("Close (Esc): show every row again"));
    m_close->setAutoRaise(true);
    m_close->setAccessibleName(QStringLiteral("Close Find"));
    row->addWidget(caption);
    row->addWidget(m_field, 1);
    row->addWidget(m_count);
    row->addWidget(m_close);

    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(escape);
    connect(escape, &QAction::triggered, this, &FindBar::closeRequested);
    connect(m_close, &QToolButton::clicked, this, &FindBar::closeRequested);
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::textChanged);
    // The rows' area changes with the list's size and place and its scroll bars.
    m_rows->installEventFilter(this);
    m_list->installEventFilter(this);
    hide();
}

QString FindBar::languageHelp()
{
    return QStringLiteral(
        "Shows only the rows that match everything typed:\n"
        "  plumber kitchen   words in the description or account (case and accents ignored)\n"
        "  42.50  >1000  <=25  100..200   an amount, either column\n"
        "  3/14/2025  2025  2025-03  Mar 2025  2025-01..2025-03  >2025-03  date:>2025   dates\n"
        "  account:Cash  taxable:yes   one column\n"
        "  -transfer   a leading - leaves out what matches\n"
        "A number alone is an amount and a word, and with four digits a year too; in a\n"
        "comparison or range a number is an amount: a date there takes a date form\n"
        "(>2025-03, >3/1/2025) or date: in front (date:>2025, date:2024..2025).\n"
        "Quotes keep words together: \"petty cash\".");
}

QString FindBar::countText() const
{
    return m_count->text();
}

void FindBar::setCount(int shown, int total)
{
    const QLocale locale;
    m_count->setText(QStringLiteral("%1 of %2").arg(locale.toString(shown), locale.toString(total)));
    // Read with the field, so a screen reader says how many rows are left as one types.
    m_field->setAccessibleDescription(m_count->text());
}

void FindBar::open()
{
    place();
    show();
    raise();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::place()
{
    // Over the bottom of the rows, above the horizontal scroll bar so it stays usable.
    const QRect rows = m_rows->geometry().translated(m_list->geometry().topLeft());
    const int height = sizeHint().height();
    setGeometry(rows.left(), rows.bottom() + 1 - height, rows.width(), height);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    // Compared by address only: while the list is destroyed its rows' area still has
    // events to pass on, but the list is no longer a list.
    const bool moved = event->type() == QEvent::Resize || event->type() == QEvent::Move;
    if ((watched == m_rows || watched == m_list) && moved && isVisible())
        place();
    return QFrame::eventFilter(watched, event);
}

} // namespace mainwindow
