// SPDX-License-Identifier: GPL-3.0-or-later
// Any text as a path, under both separator conventions: the helpers never
// fail, and their results follow their documented rules.
#include "FuzzSupport.h"
#include "Paths.h"

#include <algorithm>

namespace {
// The collapse rule written out run by run: the leading run becomes the
// prefix, and a run of n separators anywhere else keeps ceil(n / 2) of them,
// which is what pairing them off left to right in one pass leaves.
QString collapsedByRuns(const QString& path, QChar separator, bool networkPrefix) {
    QString expected;
    qsizetype i = 0;
    if (path.startsWith(separator)) {
        while (i < path.size() && path[i] == separator)
            ++i;
        expected = QString(networkPrefix ? 2 : 1, separator);
    }
    while (i < path.size()) {
        if (path[i] != separator) {
            expected += path[i++];
            continue;
        }
        qsizetype run = 0;
        for (; i < path.size() && path[i] == separator; ++i)
            ++run;
        expected += QString((run + 1) / 2, separator);
    }
    return expected;
}

qsizetype longestInnerRun(const QString& path, QChar separator) {
    qsizetype i = 0, longest = 0;
    while (i < path.size() && path[i] == separator)
        ++i;
    for (qsizetype run = 0; i < path.size(); ++i) {
        run = path[i] == separator ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

void checkConvention(const QString& path, QChar separator, bool networkPrefix) {
    const QString collapsed = CollapseBackslashes(path, separator, networkPrefix);
    FUZZ_CHECK(collapsed == collapsedByRuns(path, separator, networkPrefix),
               QStringLiteral("collapsing %1 gave %2").arg(path, collapsed));
    const qsizetype prefix = path.startsWith(separator) ? (networkPrefix ? 2 : 1) : 0;
    const QString doubled(2, separator);
    // Paths as people type them, with at most a doubled separator inside,
    // come out with none.
    if (longestInnerRun(path, separator) <= 2)
        FUZZ_CHECK(!QStringView(collapsed).sliced(prefix).contains(doubled),
                   QStringLiteral("a doubled separator survives in %1").arg(collapsed));

    const QString name = FileNameFromPath(path, separator);
    FUZZ_CHECK(!name.contains(separator), "a file name holds a separator");
    FUZZ_CHECK(path.endsWith(name), "a file name is not the end of its path");
    const qsizetype before = path.size() - name.size() - 1;
    FUZZ_CHECK(before < 0 ? name == path : path[before] == separator,
               "a file name does not start after the last separator");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = FuzzText(data, size);
    checkConvention(path, u'/', false);
    checkConvention(path, u'\\', true);

    const bool exists = FileExists(path);
    FUZZ_CHECK(!exists || !path.contains(QChar(0)), "a path with a NUL was reported present");
    const QString name = FileNameFromPath(path);
    FUZZ_CHECK(FileNameFromPath(BesideApplication(path, name)) == name,
               "a name joined to a folder does not come back as the file name");
    return 0;
}
