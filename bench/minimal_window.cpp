// SPDX-License-Identifier: GPL-3.0-or-later
// The reference for start-up time: the least a Qt Widgets program does to
// show a window of the same size.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.setFixedSize(536, 631);
    window.show();
    return app.exec();
}
