#pragma once
// The editor's date field: the date typed in the locale's short form (TypedDate.h),
// taken exactly as typed, with a calendar to pick from (the button at its right end,
// Alt+Down or F4). A text that is no date is never replaced: the field says so, with
// a red frame, a note laid over its empty right part and a tooltip, until it is
// corrected; nothing around it moves.

#include <QDate>
#include <QLineEdit>

class QCalendarWidget;
class QLabel;

namespace editor {

class DateBox : public QLineEdit {
    Q_OBJECT
public:
    explicit DateBox(QWidget* parent = nullptr);

    // The date the text names; an invalid QDate when it names none.
    QDate date() const;
    // Shows `date` in the locale's short form, and clears any refusal.
    void setDate(const QDate& date);

    // Says on the field why its text is no date, or clears what it said when it is
    // one. True when the text is a date.
    bool check();
    // The note over the field, hidden while the text is a date.
    QLabel* refusalNote() const { return m_note; }

    // The calendar, opened on the field's date (today's when it holds none).
    void showCalendar();
    QCalendarWidget* calendar() const { return m_calendar; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showRefusal(const QString& refusal);
    void placeNote();

    QLabel* m_note = nullptr;
    QCalendarWidget* m_calendar = nullptr;
    bool m_refused = false;
};

} // namespace editor
