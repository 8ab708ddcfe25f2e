#pragma once

#include <QString>

// Equal but for the case of ASCII letters: how the database matches words.
inline bool EqualIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        QChar x = a[i], y = b[i];
        if (x.unicode() < 128)
            x = x.toLower();
        if (y.unicode() < 128)
            y = y.toLower();
        if (x != y)
            return false;
    }
    return true;
}
