// SPDX-License-Identifier: GPL-3.0-or-later
#include "GnuArguments.h"

#include "FileSystem.h"

#include <algorithm>

QList<GnuArgument> ParseGnuArguments(const QStringList& arguments, const QList<GnuOption>& options,
                                     bool lettersTogether) {
    const auto find = [&](const auto& matches) {
        const auto found = std::find_if(options.begin(), options.end(), matches);
        return found == options.end() ? -1 : int(found - options.begin());
    };
    const auto byLetter = [&](QChar letter) {
        return find([&](const GnuOption& option) { return option.letter == letter; });
    };
    QList<GnuArgument> parsed;
    bool optionsEnded = false;
    for (qsizetype at = 0; at < arguments.size(); ++at) {
        const QString& argument = arguments[at];
        GnuArgument entry;
        entry.argument = argument;
        if (optionsEnded || argument == u'-' || !argument.startsWith(u'-')) {
            entry.value = argument;
            entry.hasValue = true;
            parsed << entry;
            continue;
        }
        if (argument == QLatin1StringView("--")) {
            optionsEnded = true;
            continue;
        }
        if (!argument.startsWith(QLatin1StringView("--"))) {
            entry.written = argument;
            const QStringView letters = QStringView(argument).sliced(1);
            const bool known = std::all_of(letters.begin(), letters.end(),
                                           [&](QChar letter) { return byLetter(letter) >= 0; });
            if (!known || (!lettersTogether && letters.size() > 1)) {
                entry.kind = GnuArgument::Unknown;
                parsed << entry;
                continue;
            }
            entry.kind = GnuArgument::Option;
            for (const QChar letter : letters) {
                entry.option = byLetter(letter);
                entry.written = QStringLiteral("-") + letter;
                parsed << entry;
            }
            continue;
        }
        const qsizetype equals = argument.indexOf(u'=');
        entry.written = argument.first(equals < 0 ? argument.size() : equals);
        const QString name = entry.written.sliced(2);
        entry.option = find([&](const GnuOption& option) { return option.names.contains(name); });
        if (entry.option < 0) {
            entry.kind = GnuArgument::Unknown;
        } else if (equals >= 0) {
            entry.kind = options[entry.option].value == GnuOption::NoValue
                             ? GnuArgument::UnexpectedValue
                             : GnuArgument::Option;
            entry.value = argument.sliced(equals + 1);
            entry.hasValue = true;
        } else if (options[entry.option].value != GnuOption::Required) {
            entry.kind = GnuArgument::Option;
        } else if (at + 1 < arguments.size()) {
            entry.kind = GnuArgument::Option;
            entry.value = arguments[++at];
            entry.hasValue = true;
        } else {
            entry.kind = GnuArgument::MissingValue;
        }
        parsed << entry;
    }
    return parsed;
}

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << NameFromNative(argv[i]);
    return arguments;
}
