// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Utf8Text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The rules of the aligned and comma-delimited layouts, which the window's exports and
// the command line's formats share.

// The header of the results list's one column, which the aligned export writes first.
QString ResultsHeader();

// Appends one cell of an aligned line: the text, the spaces that bring it to the
// column's width, and the closing tab.
void AppendPaddedCell(QString& line, QStringView text, int width);
// The same after the cell's text, length code points, is already in the line.
void ClosePaddedCell(QString& line, int length, int width);

// Makes the row text that runs from start to the end of the comma-delimited
// line, in UTF-8, into its field, and adds the comma that follows it. A row that holds a
// comma, a double quote or a line break is quoted, its quotes doubled, so that
// the line can be split back into its rows.
void CloseCommaDelimitedField(QByteArray& line, qsizetype start);

// Whether Qt reads the bytes as UTF-8 without a replacement character, as the
// record formats write them; ASCII, which most words are, is told far quicker
// than by a full check.
bool IsUtf8AsQtReadsIt(QByteArrayView bytes);

// What every results row of a word starts with: the word in upper case and " - ".
QString SynonymRowPrefix(const QString& word);
// The same appended to out, for a word in UTF-8.
void AppendSynonymRowPrefix(QByteArray& out, QByteArrayView word);

// The one row of a word that the database does not hold: its prefix, then this.
inline constexpr char kNotFoundText[] = "this word not found in the database.";
QString NotFoundRow(const QString& word);
