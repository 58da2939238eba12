#!/usr/bin/python3
# Independent check of DXF files written by the program: ezdxf must load each, its audit must find no
# errors and every insert must name a block the file defines. Per file it prints "FILE name", the
# audit's findings, a count of the entities per type, the blocks, the scales of every insert ("SCALE
# block sx sy") and the lines of every insert as the reader explodes it ("XLINE block x1 y1 x2 y2").
# Exit 0 only when every file is clean.
# Usage: dxf_audit.py file.dxf ...   (exit 3 when ezdxf is not installed)
import sys

try:
    import ezdxf
except ImportError:
    print("ezdxf missing", file=sys.stderr)
    sys.exit(3)


def explode(insert):
    for v in insert.virtual_entities():
        if v.dxftype() == "INSERT":
            yield from explode(v)
        else:
            yield v


failed = 0
for name in sys.argv[1:]:
    print("FILE", name)
    try:
        doc = ezdxf.readfile(name)
    except Exception as exc:  # any read failure counts
        print("ERROR not loaded:", exc)
        failed += 1
        continue
    auditor = doc.audit()
    for e in auditor.errors:
        print("ERROR", e.code, e.message)
    # Fixes are not errors: the reader also "fixes" the SEQEND of every polyline inside a block of the
    # R12 files it writes itself.
    for f in auditor.fixes:
        print("FIX", f.code, f.message)
    bad = auditor.has_errors
    counts = {}
    for e in doc.modelspace():
        counts[e.dxftype()] = counts.get(e.dxftype(), 0) + 1
    print("ENTITIES", " ".join(f"{k}={counts[k]}" for k in sorted(counts)))
    print("BLOCKS", " ".join(sorted(b.name for b in doc.blocks if not b.name.startswith("*"))))
    for ins in doc.modelspace().query("INSERT"):
        if ins.dxf.name not in doc.blocks:
            print("ERROR insert of undefined block", ins.dxf.name)
            bad = True
            continue
        # The scales as the reader has them, each in the shortest text that reads back the same.
        print("SCALE %s %r %r" % (ins.dxf.name, ins.dxf.xscale, ins.dxf.yscale))
        for v in explode(ins):
            if v.dxftype() == "LINE":
                s, t = v.dxf.start, v.dxf.end
                print("XLINE %s %.4f %.4f %.4f %.4f" % (ins.dxf.name, s.x, s.y, t.x, t.y))
    failed += 1 if bad else 0
print(f"{len(sys.argv) - 1} files, {failed} with errors")
sys.exit(1 if failed else 0)
