#include "Form1.h"
#include "GrowArray.h"
#include "QtDesktop.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    KeepLargeBlocksMovable();
    QApplication app(argc, argv);
    QtDesktop desktop;
    Form1 form(desktop, QCoreApplication::applicationDirPath());
    desktop.setOwner(&form);
    if (!form.Form_Load())
        return 0;
    form.show();
    return app.exec();
}
