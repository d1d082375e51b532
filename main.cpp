// Tallyfold: loading the main window brings the program up, closing it ends it. The
// user may also stop it while it loads; then the window never shows.
#include "main/Form1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyfold"));
    QApplication::setOrganizationName(QStringLiteral("Marlowick"));
    mainwindow::Form1 form1;
    if (!form1.Form_Load())
        return 0;
    form1.show();
    return app.exec();
}
