#!/usr/bin/python3
# Independent check of a DXF file written by the program: ezdxf must load it and its audit must find
# no errors. Prints the audit's findings and a count of the entities per type; exit 0 only when clean.
# Usage: dxf_audit.py file.dxf   (exit 3 when ezdxf is not installed)
import sys

try:
    import ezdxf
except ImportError:
    print("ezdxf missing", file=sys.stderr)
    sys.exit(3)

doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
for e in auditor.errors:
    print("ERROR", e.code, e.message)
# Fixes are not errors: the reader also "fixes" the SEQEND of every polyline inside a block of the
# R12 files it writes itself.
for f in auditor.fixes:
    print("FIX", f.code, f.message)

counts = {}
for e in doc.modelspace():
    counts[e.dxftype()] = counts.get(e.dxftype(), 0) + 1
print("ENTITIES", " ".join(f"{k}={counts[k]}" for k in sorted(counts)))
print("BLOCKS", " ".join(sorted(b.name for b in doc.blocks if not b.name.startswith("*"))))


def explode(insert):
    for v in insert.virtual_entities():
        if v.dxftype() == "INSERT":
            yield from explode(v)
        else:
            yield v


# The geometry of every insert, exploded by the reader (nested inserts too): lines as x1 y1 x2 y2.
for ins in doc.modelspace().query("INSERT"):
    for v in explode(ins):
        if v.dxftype() == "LINE":
            s, t = v.dxf.start, v.dxf.end
            print("XLINE %s %.4f %.4f %.4f %.4f" % (ins.dxf.name, s.x, s.y, t.x, t.y))
sys.exit(1 if auditor.has_errors else 0)
