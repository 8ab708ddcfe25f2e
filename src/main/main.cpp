// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchLookup.h"
#include "CommandLine.h"
#include "FileSystem.h"
#include "Form1.h"
#include "GrowArray.h"
#include "QtDesktop.h"

#include <QApplication>
#include <csignal>

int main(int argc, char* argv[]) {
    GuardStandardDescriptors();
    // A write to a closed pipe fails with EPIPE instead of killing the
    // program mid-row; the command line then ends as quietly as the signal would.
    std::signal(SIGPIPE, SIG_IGN);
    KeepLargeBlocksMovable();
    // Arguments choose the front end: the command line runs without a display.
    CommandLine command = ParseCommandLine(ArgumentsOf(argc, argv));
    if (command.action != CommandLine::StartWindow && !command.windowMayTakeIt)
        return RunCommandLine(command, argc, argv);
    // Takes Qt's own options out of argc and argv; what is left is ours.
    QApplication app(argc, argv);
    if (command.windowMayTakeIt) {
        command = ParseCommandLine(ArgumentsOf(argc, argv));
        if (command.action != CommandLine::StartWindow)
            return RunCommandLine(command, argc, argv);
    }
    QtDesktop desktop;
    Form1 form(desktop, QCoreApplication::applicationDirPath());
    if (!command.database.isEmpty())
        form.setDatabasePath(command.database);
    if (!command.language.isEmpty())
        form.setLanguage(command.language);
    desktop.setOwner(&form);
    if (!form.Form_Load())
        return 0;
    form.fitScreen();
    form.show();
    if (!command.files.isEmpty())
        form.loadWordFiles(command.files);
    return app.exec();
}
