// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Equal but for letter case, by simple Unicode case folding: how the database matches words.
inline bool EqualIgnoringCase(const QString& a, const QString& b) {
    return a.toCaseFolded() == b.toCaseFolded();
}
