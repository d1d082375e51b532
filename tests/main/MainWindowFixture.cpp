#include "tests/main/MainWindowFixture.h"

#include <QApplication>
#include <QTimer>

void MainWindowTest::TearDown()
{
    if (m_savedLocale)
        QLocale::setDefault(*m_savedLocale);
}

void MainWindowTest::prepareLedger()
{
    env.placeLedger();
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
