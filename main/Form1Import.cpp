// The main window's way into the statement import: the list's menu entry and key, files
// dropped on the list. None of it moves the window's layout.
#include "main/Form1.h"

#include "main/ImportWindow.h"
#include "shell/Dialogs.h"
#include "shell/ErrorTrap.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>

namespace mainwindow {

namespace {

const QString kImportTitle = QStringLiteral("Import Statement");

QStringList localFiles(const QMimeData* mime)
{
    QStringList files;
    if (mime && mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile())
                files << url.toLocalFile();
        }
    }
    return files;
}

// Takes drops of local files on the list's viewport and hands each file on.
class FileDrops : public QObject {
public:
    FileDrops(QWidget* target, std::function<void(const QString&)> open) : QObject(target), m_open(std::move(open))
    {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (localFiles(drag->mimeData()).isEmpty())
                return QObject::eventFilter(watched, event);
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = localFiles(drop->mimeData());
            if (files.isEmpty())
                return QObject::eventFilter(watched, event);
            drop->acceptProposedAction();
            // The drag's source waits for the drop to end; the windows open after it.
            QMetaObject::invokeMethod(this, [this, files] {
                for (const QString& file : files)
                    m_open(file);
            }, Qt::QueuedConnection);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<void(const QString&)> m_open;
};

} // namespace

void Form1::makeImport()
{
    mnuImport = mnuList->addAction(kImportTitle + QChar(0x2026) + QStringLiteral("\tCtrl+I"), this,
                                   &Form1::mnuImport_Click);
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+I")), this), &QShortcut::activated, this,
            &Form1::mnuImport_Click);
    new FileDrops(ListView1->viewport(), [this](const QString& file) { importStatement(file); });
}

void Form1::mnuImport_Click()
{
    auto trap = trapFor("mnuImport_Click");
    QString file;
    trap.run(100, [&] {
        file = platform::Dialogs::current().OpenFileName(
            kImportTitle, QString(),
            QStringLiteral("Statements (*.ofx *.qfx *.qif *.csv *.txt *.xml);;All files (*)"));
    });
    if (trap.test(102, [&] { return file.isEmpty(); }))
        return;
    trap.run(104, [&] { importStatement(file); });
}

void Form1::importStatement(const QString& file)
{
    auto trap = trapFor("importStatement");
    QString outcome;
    trap.run(100, [&] {
        ImportWindow window(file, this);
        if (window.exec() == QDialog::Accepted)
            outcome = window.outcome();
    });
    if (trap.test(102, [&] { return outcome.isEmpty(); }))
        return;
    trap.run(104, [this] { reloadInPlace(Changed::Newest); });
    trap.run(106, [&] { platform::Dialogs::current().MsgBox(outcome + u'.', platform::vbInformation); });
}

} // namespace mainwindow
