#include "editor/DateBox.h"

#include "editor/TypedDate.h"

#include <QAction>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <algorithm>

namespace editor {

namespace {
const char* const kRefusedFrame = "QLineEdit { border: 2px solid #c00000; }";
} // namespace

DateBox::DateBox(QWidget* parent) : QLineEdit(parent)
{
    setAccessibleName(QStringLiteral("Date"));
    setPlaceholderText(dateFormatHint());
    QAction* open = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    open->setText(QStringLiteral("Choose from a calendar"));
    open->setToolTip(QStringLiteral("Choose from a calendar (Alt+Down)"));
    connect(open, &QAction::triggered, this, &DateBox::showCalendar);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("dateRefusal"));
    m_note->setStyleSheet(QStringLiteral("color: #c00000; background: palette(base); padding-left: 4px;"));
    m_note->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_note->hide();

    // Typing that makes a refused text a date clears the refusal at once; a text is
    // refused only once the user leaves it or saves, never while it is being typed.
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (m_refused && date().isValid())
            check();
    });
}

QDate DateBox::date() const
{
    return typedDate(text());
}

void DateBox::setDate(const QDate& date)
{
    setText(QLocale().toString(date, dateFormat()));
    check();
}

bool DateBox::check()
{
    const QString refusal = dateRefusal(text());
    if (refusal.isEmpty()) {
        if (m_refused) {
            m_refused = false;
            setStyleSheet(QString());
            setToolTip(QString());
            setAccessibleDescription(QString());
            m_note->hide();
        }
        return true;
    }
    showRefusal(refusal);
    return false;
}

void DateBox::showRefusal(const QString& refusal)
{
    m_refused = true;
    setStyleSheet(QString::fromLatin1(kRefusedFrame));
    setToolTip(refusal);
    setAccessibleDescription(refusal);
    m_note->setText(text().trimmed().isEmpty() ? QStringLiteral("Type a date (%1)").arg(dateFormatHint())
                                               : QStringLiteral("No date: type %1").arg(dateFormatHint()));
    placeNote();
    m_note->show();
}

void DateBox::placeNote()
{
    // In the field's right part, left of the calendar button: the typed text stays in view.
    const int width = m_note->sizeHint().width();
    const int right = this->width() - height() - 4;
    m_note->setGeometry(std::max(right - width, this->width() / 2), 0, std::min(width, this->width() / 2 - height()),
                        height());
}

void DateBox::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    placeNote();
}

void DateBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // The field the editor opens on: a date typed at once takes the shown one's place
    // rather than running on after it. A click places the cursor as ever, and text the
    // user has typed stays as it is.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason && !isModified())
        selectAll();
}

void DateBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Switching to another program or opening a menu is no leaving of the field.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        check();
}

void DateBox::keyPressEvent(QKeyEvent* event)
{
    const bool altDown = event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier;
    if (altDown || (event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier)) {
        showCalendar();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DateBox::showCalendar()
{
    if (!m_calendar) {
        m_calendar = new QCalendarWidget(this);
        m_calendar->setWindowFlags(Qt::Popup);
        m_calendar->setObjectName(QStringLiteral("dateCalendar"));
        m_calendar->setAccessibleName(QStringLiteral("Calendar"));
        m_calendar->setDateRange(kFirstDate, kLastDate);
        const auto take = [this](const QDate& picked) {
            setDate(picked);
            m_calendar->hide();
            setFocus(Qt::PopupFocusReason);
        };
        connect(m_calendar, &QCalendarWidget::clicked, this, take);
        connect(m_calendar, &QCalendarWidget::activated, this, take);
    }
    const QDate shown = date();
    m_calendar->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
    m_calendar->adjustSize();
    m_calendar->move(mapToGlobal(QPoint(width() - m_calendar->width(), height())));
    m_calendar->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

} // namespace editor
