// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommonDialog.h"

#include "Desktop.h"

#include <QStringList>
#include <algorithm>

namespace {
// The folder holding path; the root, which keeps its "/", is its own folder.
QString folderOf(const QString& path) {
    const qsizetype root = path.startsWith(u'/') ? 1 : 0;
    const qsizetype slash = path.lastIndexOf(u'/');
    return path.left(qMax(slash, root));
}

bool holds(const QString& folder, const QString& path) {
    if (!path.startsWith(folder))
        return false;
    return folder.endsWith(u'/') || (path.size() > folder.size() && path[folder.size()] == u'/');
}

// The form the Windows dialog gives for several files: the folder, then
// each name, NUL-separated. A dialog lists one folder, so the names are
// normally bare; should the paths ever differ in folder, the names keep the
// part below the folder they share.
QString folderAndNames(const QStringList& paths) {
    QString folder = folderOf(paths.first());
    while (!std::all_of(paths.cbegin(), paths.cend(),
                        [&](const QString& path) { return holds(folder, path); })) {
        const QString parent = folderOf(folder);
        if (parent == folder) {
            folder.clear(); // relative paths: nothing in common
            break;
        }
        folder = parent;
    }
    const qsizetype skip = folder.isEmpty() ? 0 : folder.size() + (folder.endsWith(u'/') ? 0 : 1);
    QString result = folder;
    for (const QString& path : paths)
        result += QChar(0) + path.mid(skip);
    return result;
}

bool hasWildcard(QStringView text) {
    return text.contains(u'*') || text.contains(u'?');
}

QString withoutSpaces(QString text) {
    text.remove(u' ');
    return text;
}

// "Text Files (*.txt)" -> "Text Files": the dialog lists the patterns it
// really uses, so a description's own copy of them goes. Parentheses that
// hold no patterns, as in "Notes (old)", are part of the description.
QString descriptionOnly(const QString& description, const QString& pattern) {
    QString text = description;
    while (text.endsWith(u' '))
        text.chop(1);
    if (!text.endsWith(u')'))
        return text;
    int depth = 0;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text[i] == u')')
            ++depth;
        else if (text[i] == u'(' && --depth == 0) {
            const QStringView inside = QStringView(text).mid(i + 1, text.size() - i - 2);
            if (!hasWildcard(inside) && withoutSpaces(inside.toString()) != withoutSpaces(pattern))
                return text;
            QString rest = text.left(i);
            while (rest.endsWith(u' '))
                rest.chop(1);
            return rest;
        }
    }
    return text;
}

// "*.txt;*.*" -> "*.txt *": Qt separates patterns by blanks and matches
// every file with "*", where Windows writes "*.*".
QString qtPatterns(const QString& pattern) {
    QStringList patterns;
    for (const QString& part : pattern.split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty())
            continue;
        patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return patterns.join(u' ');
}
} // namespace

QString CommonDialog::QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    // An odd part at the end has no pattern and is left out.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = qtPatterns(parts[i + 1]);
        if (patterns.isEmpty())
            continue;
        const QString description = descriptionOnly(parts[i], parts[i + 1]);
        filters << (description.isEmpty() ? patterns
                                          : description + QStringLiteral(" (") + patterns + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

void CommonDialog::ShowOpen() {
    const FileDialogRequest request{DialogTitle, QtNameFilters(Filter),
                                    (Flags & OFN_ALLOWMULTISELECT) != 0};
    const QStringList chosen = desktop_.openFileDialog(request);
    if (chosen.isEmpty())
        return;
    FileName = chosen.size() == 1 ? chosen.first() : folderAndNames(chosen);
}

void CommonDialog::ShowSave() {
    const FileDialogRequest request{DialogTitle, QtNameFilters(Filter), false};
    const QString chosen = desktop_.saveFileDialog(request);
    if (!chosen.isEmpty())
        FileName = chosen;
}
