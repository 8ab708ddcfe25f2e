# SPDX-License-Identifier: GPL-3.0-or-later
# Reads a workbook written by `lexigrove --format xlsx` with openpyxl and
# compares every cell with the records that `--format table` wrote for the
# same words: the sense a number cell, every other field a text cell.
# Usage: workbook_vs_table.py TABLE.csv WORKBOOK.xlsx
# Prints "N records" when they agree; fails with the first difference.
import csv
import re
import sys

import openpyxl
from openpyxl.utils import get_column_letter

SHEET_ROWS = 1048576


def as_spreadsheets_read(text):
    # Office Open XML spells characters that XML cannot hold as _xHHHH_;
    # spreadsheets read them back as the character, openpyxl leaves that to us.
    return re.sub(r"_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), text)


table_path, book_path = sys.argv[1:3]
with open(table_path, encoding="utf-8", newline="") as table:
    records = list(csv.reader(table))
header, records = records[0], records[1:]
book = openpyxl.load_workbook(book_path)

per_sheet = SHEET_ROWS - 1
sheets = max(1, -(-len(records) // per_sheet))
assert book.sheetnames == ["Synonyms"] + [f"Synonyms {n}" for n in range(2, sheets + 1)], \
    book.sheetnames
last_column = get_column_letter(len(header))
name_of = dict(enumerate(header, 1))
for number, sheet in enumerate(book.worksheets):
    part = records[number * per_sheet:(number + 1) * per_sheet]
    assert sheet.freeze_panes == "A2", sheet.freeze_panes
    # The filter covers every record; a record of empty fields is a row without cells.
    assert sheet.auto_filter.ref == f"A1:{last_column}{len(part) + 1}", sheet.auto_filter.ref
    rows = list(sheet.iter_rows(min_row=1, max_row=len(part) + 1, max_col=len(header)))
    assert sheet.max_row <= len(part) + 1 and sheet.max_column <= len(header)
    for cell, name in zip(rows[0], header):
        assert cell.value == name and cell.font.b, (cell.coordinate, cell.value)
    for row, record in zip(rows[1:], part):
        for cell, field in zip(row, record):
            if field == "":
                assert cell.value is None, (cell.coordinate, cell.value)
                continue
            # The sense is a number cell; every other field a text cell, never a
            # number, date, boolean or formula.
            if name_of[cell.column] == "sense" and field.isdigit():
                assert cell.data_type == "n" and cell.value == int(field), \
                    (cell.coordinate, cell.data_type, cell.value, field)
                continue
            assert cell.data_type == "s", (cell.coordinate, cell.data_type, cell.value)
            assert as_spreadsheets_read(cell.value) == field, (cell.coordinate, cell.value, field)
    for column in range(1, len(header) + 1):
        letter = get_column_letter(column)
        longest = max(len(r[column - 1]) for r in [header] + part)
        width = sheet.column_dimensions[letter].width
        # Wide enough for the longest value, up to a cap for very long ones.
        assert min(longest, 50) <= width <= 60, (letter, width, longest)
print(f"{len(records)} records")
