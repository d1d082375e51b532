#pragma once
// The find field of the transaction list: a bar laid over the list's bottom edge while
// it is in use, so the window's layout never moves. Its field is named "Find" and
// described by its count for screen readers. It holds the typed text, the count
// of rows shown ("1,204 of 1,000,000") and a close button; Esc closes it too.

#include <QFrame>

class QAbstractScrollArea;
class QLabel;
class QLineEdit;
class QToolButton;

namespace mainwindow {

class FindBar : public QFrame {
    Q_OBJECT
public:
    // Lies over the bottom edge of list's rows and follows the list's size.
    explicit FindBar(QAbstractScrollArea* list);

    QLineEdit* field() const { return m_field; }
    QToolButton* closeButton() const { return m_close; }
    QString countText() const;
    void setCount(int shown, int total);

    // Shows the bar with the text selected, ready to type over.
    void open();

    // What the field understands, for its tooltip.
    static QString languageHelp();

signals:
    void textChanged(const QString& text);
    // The user asked the bar to go (Esc, the close button).
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QAbstractScrollArea* m_list;
    QWidget* m_rows;   // the list's viewport, where its rows are drawn
    QLineEdit* m_field;
    QLabel* m_count;
    QToolButton* m_close;
};

} // namespace mainwindow
