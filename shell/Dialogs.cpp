#include "shell/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {

namespace {
Dialogs* g_current = nullptr;
QString g_title = QStringLiteral("Tallyfold");

// Message texts break lines with CR LF or a lone CR; Qt's label wants LF.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}
} // namespace

Dialogs& Dialogs::current()
{
    static QtDialogs real;
    return g_current ? *g_current : real;
}

void Dialogs::setCurrent(Dialogs* dialogs)
{
    g_current = dialogs;
}

void tellInMessageBox(const QString& message)
{
    Dialogs::current().MsgBox(message, vbExclamation, appTitle());
}

bool askInMessageBox(const QString& question)
{
    return Dialogs::current().MsgBox(question, vbYesNo | vbQuestion, appTitle()) == vbYes;
}

QString appTitle()
{
    return g_title;
}

void setAppTitle(const QString& title)
{
    g_title = title;
}

QString Dialogs::SaveFileName(const QString&, const QString&, const QString&)
{
    return {};
}

std::optional<QString> Dialogs::PasswordBox(const QString&)
{
    return std::nullopt;
}

QString Dialogs::OpenFileName(const QString&, const QString&, const QString&)
{
    return {};
}

int QtDialogs::MsgBox(const QString& prompt, int style, const QString& title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? appTitle() : title);
    box.setText(displayText(prompt));
    box.setTextFormat(Qt::PlainText);
    switch (style & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    switch (style & 0x7) {
    case vbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case vbOKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    case QMessageBox::Cancel: return vbCancel;
    default: return (style & 0x7) == vbYesNo ? vbNo : vbOK;
    }
}

QString QtDialogs::InputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title.isEmpty() ? appTitle() : title,
                                               displayText(prompt), QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogs::SaveFileName(const QString& title, const QString& suggestedPath, const QString& filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title.isEmpty() ? appTitle() : title,
                                        suggestedPath, filter);
}

QString QtDialogs::OpenFileName(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title.isEmpty() ? appTitle() : title, folder,
                                        filter);
}

std::optional<QString> QtDialogs::PasswordBox(const QString& prompt)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), appTitle(), displayText(prompt),
                                               QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

} // namespace platform
