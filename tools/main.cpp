#include "Thesaurus.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <new>

// Builds the synonym database from a MyThes thesaurus. Runs inside the build, so every
// failure is a single line naming the file and line, and a non-zero exit stops the build.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fputs("usage: lexigrove-import <thesaurus.dat> <words.mdb>\n", stderr);
        return 1;
    }
    try {
        ImportThesaurus(args.at(1), args.at(2));
    } catch (const std::bad_alloc&) {
        std::fputs("lexigrove-import: out of memory\n", stderr);
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lexigrove-import: %s\n", error.what());
        return 1;
    }
    return 0;
}
