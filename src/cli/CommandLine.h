// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GnuArguments.h"
#include "OutputFormat.h"

#include <QString>
#include <QStringList>

// What the arguments of `lexigrove` ask for. Without arguments the window
// starts; with them they follow GNU conventions.
struct CommandLine {
    enum Action {
        StartWindow,  // no arguments, only --database or --language, or word files to load
        Lookup,       // --lookup FILE...: look words up without a window
        Print,        // --help or --version: text is for standard output
        UsageError,   // text is for standard error; the exit status is 2
        ListLanguages // --languages: the installed thesauri
    };

    Action action = StartWindow;
    QString database;  // empty: words.mdb beside the program
    QString language;  // --language: the installed thesaurus of this language instead
    QStringList files; // "-" is standard input
    OutputFormat format = OutputFormat::Rows;
    QString output; // empty: standard output
    // Only pairs of these kinds are kept; empty: all of them.
    QStringList partsOfSpeech, relations;
    // --inflect: rows, aligned and csv show a synonym in the word's own form where there is one.
    bool inflect = false;
    bool quiet = false;
    QString text;
    // A usage error that may be one of Qt's own options for the window
    // (-platform, -style, ...), which QApplication takes out first.
    bool windowMayTakeIt = false;
};

// arguments holds the program name first, as argv does.
CommandLine ParseCommandLine(const QStringList& arguments);

// The text of --help.
QString CommandLineHelp();

// The last line of every usage error.
inline constexpr char kTryHelp[] = "Try 'lexigrove --help' for more information.\n";
