#!/usr/bin/python3
"""The print-preset table as python3-dbf reads and writes it.

  printout_dbf.py read <printout.dbf> <out>   writes one line per record (UTF-8):
      "<recno>|<deleted 0/1>|<name>|<xscale %.4f>|<yscale %.4f>|<xorigin>|<yorigin>|<landscape T/F>|
       <monochrom T/F>|<variable T/F>|<borderline T/F>"; a value read as NULL (left blank) is "-"
  printout_dbf.py write <printout.dbf>        writes a preset table with two presets
Exit 3 when python3-dbf is missing.
"""
import sys


def need_dbf():
    try:
        import dbf
        return dbf
    except ImportError:
        print("python3-dbf missing", file=sys.stderr)
        sys.exit(3)


def tf(v):
    return "-" if v is None else "T" if v else "F"


def num(v, form):
    return "-" if v is None else form % v


def read(path, out):
    dbf = need_dbf()
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    with open(out, "w", encoding="utf-8") as f:
        for i, r in enumerate(table, 1):
            f.write("%d|%d|%s|%s|%s|%s|%s|%s|%s|%s|%s\n" % (
                i, 1 if dbf.is_deleted(r) else 0, r.name.rstrip(), num(r.xscale, "%.4f"), num(r.yscale, "%.4f"),
                num(r.xorigin, "%d"), num(r.yorigin, "%d"), tf(r.landscape), tf(r.monochrom), tf(r.variable),
                tf(r.borderline)))
    table.close()


def write(path):
    dbf = need_dbf()
    table = dbf.Table(path, "name C(25); xscale N(10,4); yscale N(10,4); xorigin N(6,0); yorigin N(6,0); "
                            "landscape L; monochrom L; variable L; borderline L",
                      dbf_type="db3", codepage="cp1252")
    table.open(dbf.READ_WRITE)
    table.append({"name": "A4 hoch Übersicht", "xscale": 0.5, "yscale": 0.5, "xorigin": 10, "yorigin": 20,
                  "landscape": False, "monochrom": True, "variable": False, "borderline": True})
    table.append({"name": "A3 quer", "xscale": 1.25, "yscale": 1.5, "xorigin": -5, "yorigin": 7,
                  "landscape": True, "monochrom": False, "variable": True, "borderline": False})
    table.close()


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "read":
        read(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3 and sys.argv[1] == "write":
        write(sys.argv[2])
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)


if __name__ == "__main__":
    main()
