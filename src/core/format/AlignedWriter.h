// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TextOutput.h"

#include <QString>
#include <QStringView>
#include <cstddef>
#include <vector>

// The aligned layout: every cell of a line padded with spaces to its column's
// width, counted in code points, and closed by a tab; every line, the header
// first, ends in CR LF. The widths come first, so whoever feeds the writer
// has measured every row before: the window reads its list twice, the command
// line holds its rows. Each line is written as soon as it ends.
class AlignedWriter {
  public:
    AlignedWriter(TextOutput& out, std::vector<int> widths);

    int width(std::size_t column) const { return widths_[column]; }
    // The line being built, for a cell's text appended where it is kept.
    QString& line() { return line_; }
    // Closes the cell of column whose text, length code points, ends the line.
    void closeCell(std::size_t column, int length);
    void cell(std::size_t column, QStringView text);
    // Writes the line and starts the next one empty, also when the write fails.
    void endLine();

  private:
    TextOutput& out_;
    std::vector<int> widths_;
    QString line_;
};
