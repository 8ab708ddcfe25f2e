#include "Form1.h"
#include "QtDesktop.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QtDesktop desktop;
    Form1 form(desktop, QCoreApplication::applicationDirPath());
    desktop.setOwner(&form);
    if (!form.Form_Load())
        return 0;
    form.show();
    return app.exec();
}
