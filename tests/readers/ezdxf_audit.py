#!/usr/bin/python3
"""Loads each DXF file named on the command line with ezdxf and audits it.

Exit status 0 when every file loads and the audit finds no error, 1 otherwise (the problems are
printed), 77 when ezdxf is not installed.
"""
import sys

try:
    import ezdxf
    from ezdxf import recover
except ImportError:
    print("ezdxf is not installed", file=sys.stderr)
    sys.exit(77)

failed = 0
for name in sys.argv[1:]:
    try:
        doc = ezdxf.readfile(name)
    except Exception as exc:  # any read failure counts
        print(f"{name}: not loaded: {exc}")
        failed += 1
        continue
    auditor = doc.audit()
    if auditor.has_errors:
        failed += 1
        for err in auditor.errors:
            print(f"{name}: {err.message}")
    # Every insert must name a block the file defines.
    for insert in doc.modelspace().query("INSERT"):
        if insert.dxf.name not in doc.blocks:
            failed += 1
            print(f"{name}: insert of undefined block {insert.dxf.name}")
print(f"{len(sys.argv) - 1} files, {failed} with errors")
sys.exit(1 if failed else 0)
