// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

// An option a program takes: "-h" by its letter, "--help" by any of its names. A letter
// takes no value.
struct GnuOption {
    enum Value {
        NoValue,
        Required,    // after "=" or as the next argument, whatever that holds
        OnlyAfterIs, // only as "--name=VALUE"; "--name" alone takes none
    };
    QChar letter; // null for none
    QStringList names;
    Value value = NoValue;
};

// One argument, or one letter of several run together, as the parser took it.
struct GnuArgument {
    enum Kind {
        Operand,
        Option,
        Unknown,        // written: "--name" up to any "=", or the whole "-xyz"
        MissingValue,   // the last argument, an option that needs a value
        UnexpectedValue // "--name=VALUE" for an option that takes none; written: "--name"
    };
    Kind kind = Operand;
    int option = -1;  // which of the options, for Option and the two value mistakes
    QString argument; // as given
    QString written;  // the option as written: "--format", "-h"
    QString value;    // an operand's text, or the option's value
    bool hasValue = false;
};

// The arguments (without the program's name) as GNU programs take them: options before,
// between or after the operands, "--" ending them and "-" an operand. With lettersTogether,
// "-hv" is -h and -v, and holds an unknown option when any letter is none; without, a
// single-dash argument is one option. Nothing is refused here: each mistake is an entry, in
// its place, for the program to tell as it does.
QList<GnuArgument> ParseGnuArguments(const QStringList& arguments, const QList<GnuOption>& options,
                                     bool lettersTogether);

// The arguments as the program got them, its name first, decoded as the system's file names
// are (NameFromNative), so that every name goes back to its own bytes.
QStringList ArgumentsOf(int argc, char* argv[]);
