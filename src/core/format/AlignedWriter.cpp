// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlignedWriter.h"

#include "RowFormats.h"

#include <utility>

AlignedWriter::AlignedWriter(TextOutput& out, std::vector<int> widths)
    : out_(out), widths_(std::move(widths)) {}

void AlignedWriter::closeCell(std::size_t column, int length) {
    ClosePaddedCell(line_, length, widths_[column]);
}

void AlignedWriter::cell(std::size_t column, QStringView text) {
    AppendPaddedCell(line_, text, widths_[column]);
}

void AlignedWriter::endLine() {
    line_ += QStringLiteral("\r\n");
    try {
        out_.write(line_);
    } catch (...) {
        line_.truncate(0);
        throw;
    }
    line_.truncate(0);
}
