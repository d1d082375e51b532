#include "tests/main/MainWindowFixture.h"

#include "data/Ledger.h"

#include <QApplication>

void MainWindowTest::TearDown()
{
    m_modalTimer.reset();
    if (m_savedLocale)
        QLocale::setDefault(*m_savedLocale);
}

void MainWindowTest::prepareLedger()
{
    env.openLedger();
    data::releaseConnection();
}

void MainWindowTest::closeWindow(mainwindow::Form1& window)
{
    window.close();
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

QStringList MainWindowTest::column(int index) const
{
    QStringList out;
    for (int row = 0; row < form.ListView1->count(); ++row)
        out << form.ListView1->items().text(row, index);
    return out;
}

QStringList MainWindowTest::summary() const
{
    return {form.Label1->text(), form.Label2->text(), form.Label3->text(),
            form.Label11->text(), form.Label22->text(), form.Label33->text()};
}

void MainWindowTest::whenModal(std::function<void(QWidget*)> act)
{
    m_modalSeen = false;
    m_modalTimer = std::make_unique<QTimer>();
    m_modalTimer->setInterval(5);
    QObject::connect(m_modalTimer.get(), &QTimer::timeout, [this, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        m_modalTimer->stop();
        m_modalSeen = true;
        act(modal);
    });
    m_modalTimer->start();
}

void MainWindowTest::useLocale(const QLocale& locale)
{
    if (!m_savedLocale)
        m_savedLocale = QLocale();
    QLocale::setDefault(locale);
}

QString transactionValues(const QString& description, qint64 account, const QString& withdrawal,
                          const QString& deposit, const QString& taxable, const QString& date)
{
    return QStringLiteral("%1,'%2',%3,%4,%5,%6")
        .arg(date, QString(description).replace(u'\'', QStringLiteral("''")), QString::number(account), withdrawal,
             deposit, taxable);
}
