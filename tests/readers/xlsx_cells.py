#!/usr/bin/python3
# Reads a workbook with openpyxl and writes every non-empty cell of its first sheet, one per line:
# coordinate, type (s text, n number), value and number format, separated by tabs (UTF-8).
# Usage: xlsx_cells.py WORKBOOK OUTPUT. Exit status 3 when openpyxl is not installed.
import sys

try:
    import openpyxl
except ImportError:
    sys.stderr.write("openpyxl is not installed\n")
    sys.exit(3)

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
with open(sys.argv[2], "w", encoding="utf-8") as out:
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            if isinstance(cell.value, (int, float)):
                out.write("%s\tn\t%r\t%s\n" % (cell.coordinate, float(cell.value), cell.number_format))
            else:
                out.write("%s\ts\t%s\t%s\n" % (cell.coordinate, cell.value, cell.number_format))
