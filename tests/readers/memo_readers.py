#!/usr/bin/python3
"""Independent reader of memo fields for the table engine's tests (python3-dbf).

  memo_readers.py read <table.dbf> <field> [out]   prints "<recno>|<memo text>" per record, CR and LF
                                                  written as \\r and \\n
Exit 3 when the reader is missing.
"""
import sys


def main():
    if len(sys.argv) < 4 or sys.argv[1] != "read":
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    try:
        import dbf
    except ImportError:
        print("python3-dbf missing", file=sys.stderr)
        sys.exit(3)
    out = open(sys.argv[4], "w", encoding="utf-8") if len(sys.argv) > 4 else sys.stdout
    table = dbf.Table(sys.argv[2])
    table.open(dbf.READ_ONLY)
    for i, rec in enumerate(table, 1):
        text = rec[sys.argv[3]] or ""
        text = text.rstrip("\x00").replace("\r", "\\r").replace("\n", "\\n")
        out.write("%d|%s\n" % (i, text))
    table.close()


if __name__ == "__main__":
    main()
