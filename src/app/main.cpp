#include "BatchLookup.h"
#include "CommandLine.h"
#include "Form1.h"
#include "GrowArray.h"
#include "QtDesktop.h"

#include <QApplication>
#include <csignal>

int main(int argc, char* argv[]) {
    // A write to a closed pipe fails with EPIPE instead of killing the
    // program mid-row; the command line then ends as quietly as the signal would.
    std::signal(SIGPIPE, SIG_IGN);
    KeepLargeBlocksMovable();
    // Arguments choose the front end: the command line runs without a display.
    QString database;
    QString language;
    QStringList files;
    if (argc > 1) {
        const CommandLine command = ParseCommandLine(ArgumentsOf(argc, argv));
        if (command.action != CommandLine::StartWindow)
            return RunCommandLine(command, argc, argv);
        database = command.database;
        language = command.language;
        files = command.files;
    }
    QApplication app(argc, argv);
    QtDesktop desktop;
    Form1 form(desktop, QCoreApplication::applicationDirPath());
    if (!database.isEmpty())
        form.setDatabasePath(database);
    if (!language.isEmpty())
        form.setLanguage(language);
    desktop.setOwner(&form);
    if (!form.Form_Load())
        return 0;
    form.show();
    if (!files.isEmpty())
        form.loadWordFiles(files);
    return app.exec();
}
