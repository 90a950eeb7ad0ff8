#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Exits 0 when two workbooks hold the same sheets with the same cell values, else names the
first difference. The files' bytes differ (time stamps inside), their contents must not."""
import sys

import openpyxl


def cells(path):
    book = openpyxl.load_workbook(path)
    return {sheet.title: [[cell.value for cell in row] for row in sheet.iter_rows()]
            for sheet in book.worksheets}


def main(first, second):
    a, b = cells(first), cells(second)
    if list(a) != list(b):
        print(f"sheets differ: {list(a)} / {list(b)}")
        return 1
    for title in a:
        if a[title] != b[title]:
            for number, (row_a, row_b) in enumerate(zip(a[title], b[title]), start=1):
                if row_a != row_b:
                    print(f"{title}, row {number}: {row_a} / {row_b}")
                    return 1
            print(f"{title}: {len(a[title])} rows / {len(b[title])} rows")
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
