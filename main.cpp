// Tallyfold: loading the main window brings the program up, closing it ends it.
#include "main/Form1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyfold"));
    QApplication::setOrganizationName(QStringLiteral("Marlowick"));
    mainwindow::Form1 form1;
    form1.Form_Load();
    form1.show();
    return app.exec();
}
