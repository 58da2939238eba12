#!/usr/bin/python3
"""Independent readers and writers of DBF tables for the table engine's tests.

  dbf_readers.py read <table.dbf> [out]     prints (or writes to out) the records as python3-dbf and ogrinfo see them
  dbf_readers.py write <table.dbf> <kind>   writes a table with python3-dbf: kind db3-ansi or fp-oem

Printed lines (UTF-8): "<reader>|<recno>|<deleted 0/1>|<NAME>|<WERT %.2f>|<ANZ>|<OK T/F>|<AM YYYYMMDD or ->"
for python3-dbf (reader "dbf", every record) and for ogrinfo (reader "ogr", records not deleted); a value the
reader takes for NULL (a blank number or logical) is printed "-". Exit 3 when a reader is missing.
"""
import datetime
import re
import shutil
import subprocess
import sys


def read_dbf(path):
    try:
        import dbf
    except ImportError:
        print("python3-dbf missing", file=sys.stderr)
        sys.exit(3)
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    for i, rec in enumerate(table, 1):
        am = rec.am
        am = am.strftime("%Y%m%d") if am else "-"
        ok = "-" if rec.ok is None else "T" if rec.ok else "F"
        wert = "-" if rec.wert is None else "%.2f" % rec.wert
        anz = "-" if rec.anz is None else "%d" % rec.anz
        print("dbf|%d|%d|%s|%s|%s|%s|%s" % (i, 1 if dbf.is_deleted(rec) else 0, rec.name.rstrip(),
                                            wert, anz, ok, am))
    table.close()


def read_ogr(path):
    if not shutil.which("ogrinfo"):
        print("ogrinfo missing", file=sys.stderr)
        sys.exit(3)
    out = subprocess.run(["ogrinfo", "-al", "-q", path], check=True, capture_output=True,
                         text=True, encoding="utf-8").stdout
    records = []
    for line in out.splitlines():
        m = re.match(r"OGRFeature\(.*\):(\d+)", line)
        if m:
            records.append({"fid": int(m.group(1)) + 1})
            continue
        m = re.match(r"\s+(\w+) \((\w+)\) = (.*)$", line)
        if m and records:
            records[-1][m.group(1).upper()] = m.group(3)
    for r in records:
        am = r.get("AM", "")
        am = am.replace("/", "") if am and am != "(null)" else "-"
        wert = r.get("WERT", "(null)")
        wert = "-" if wert == "(null)" else "%.2f" % float(wert)
        anz = r.get("ANZ", "(null)")
        anz = "-" if anz == "(null)" else "%d" % int(float(anz))
        ok = r.get("OK", "(null)")
        ok = "-" if ok in ("(null)", "", "?") else "T" if ok in ("T", "t", "Y", "y", "1", "true") else "F"
        print("ogr|%d|0|%s|%s|%s|%s|%s" % (r["fid"], r.get("NAME", "").rstrip(), wert, anz, ok, am))


def write(path, kind):
    import dbf
    if kind == "db3-ansi":
        table = dbf.Table(path, "name C(12); wert N(10,2); anz N(6,0); ok L; am D; text M",
                          dbf_type="db3", codepage="cp1252")
    else:
        table = dbf.Table(path, "name C(12); wert N(10,2); anz N(6,0); f F(10,3); ok L; am D; text M",
                          dbf_type="fp", codepage="cp850")
    table.open(dbf.READ_WRITE)
    rows = [("Müller Größe", 12.5, 42, True, datetime.date(1940, 1, 2), "erste Notiz"),
            ("Zweite", -3.25, 0, False, None, ""),
            ("Gelöscht", 1.0, 7, True, datetime.date(2026, 12, 7), "weg")]
    for name, wert, anz, ok, am, text in rows:
        values = {"name": name, "wert": wert, "anz": anz, "ok": ok, "am": am, "text": text}
        if kind != "db3-ansi":
            values["f"] = wert * 2
        table.append(values)
    dbf.delete(table[2])
    table.close()


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "read":
        if len(sys.argv) == 4:
            sys.stdout = open(sys.argv[3], "w", encoding="utf-8")
        read_dbf(sys.argv[2])
        read_ogr(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "write":
        write(sys.argv[2], sys.argv[3])
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)


if __name__ == "__main__":
    main()
