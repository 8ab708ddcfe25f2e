// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken property aborts, so that libFuzzer keeps the input that broke it
// and the sanitizer prints where.
#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property broken: %s\n", qUtf8Printable(QString(what)));          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// The fuzz input as text. Seeds stay readable as UTF-8; a first byte 0xFF
// takes the rest as raw little-endian UTF-16 code units instead, because
// unpaired surrogates have no UTF-8 form and would otherwise never be tried.
inline QString FuzzText(const uint8_t* data, size_t size) {
    if (size == 0 || data[0] != 0xFF)
        return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString text;
    for (size_t i = 1; i + 1 < size; i += 2)
        text += QChar(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}
