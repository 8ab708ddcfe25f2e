// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The layouts results are written in: rows as the results list shows them, aligned and
// csv as the window saves them, and one record per (word, synonym, meaning) in table,
// jsonl and xlsx.
enum class OutputFormat { Rows, Aligned, CommaDelimited, Table, JsonLines, Xlsx };
