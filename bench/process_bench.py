#!/usr/bin/env python3
"""Whole-process benchmark of wqern's runs without a window, each paired with its baseline in one run.

  bench/process_bench.py [build folder] [pairs] [previous wqern]   (default build/dev, 31 pairs)

Rows (medians of the pairs, each pair run back to back so that both see the same machine load):
  wqern d.qrk /I       against bare_listing: read the design, write a file of the listing's size (goal <= 3)
  wqern d.qrk /CAD1:5  against cp of the DXF bytes (no goal of its own: start-up plus the writer)
  wqern d.qrk /CAD2:5  against cp of the IGES bytes
  wqern z.qrk /CAD2:7  the two wheels of 9,999 teeth as IGES, against cp of its bytes (goal <= 3),
                       its bytes against the same drawing's DXF bytes (goal <= 3.5) and its peak
                       memory against that of 100 teeth (goal <= 2), and its time against /CAD1:7
                       of the same (goal <= 1.5; also for the previous build when given)
a window start on Xvfb (when it is installed) that quits as soon as its window is drawn: wqern with
its display check against wqern_unchecked, the same program built without the check (goal <= 1.05),
and, given a previous build's wqern, that one beside it with the same module;
and, from qern_bench in the same run, a drawing on the screen against the same drawing as DXF, both
in memory (goal <= 2; medians of 7 repetitions).
Each row prints the baseline's figure beside the ratio, and the ratio beside its goal.
The exit status is 1 when a row misses its goal.
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def spawn(argv, env):
    """Wall time (ms) and peak memory (KiB) of one process in the current folder."""
    start = time.perf_counter_ns()
    pid = os.posix_spawn(argv[0], argv, env, file_actions=[
        (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
        (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
    _, status, usage = os.wait4(pid, 0)
    elapsed = (time.perf_counter_ns() - start) / 1e6
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(" ".join(argv) + " failed with status " + str(status))
    return elapsed, usage.ru_maxrss


def peak_kib(argv, env):
    """Peak memory (KiB) of one process, as GNU time reports it: a process spawned from here
    would count this interpreter's pages, which it shares until its exec."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M", *argv], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True).stderr
    return int(out.strip().splitlines()[-1])


def spawn_ms(argv, env):
    """Wall time of one process in the current folder from spawn to exit, in milliseconds."""
    return spawn(argv, env)[0]


def start_xvfb():
    """An Xvfb on a free display number, its display name once its socket is there (None when
    Xvfb is not installed)."""
    if not shutil.which("Xvfb"):
        return None, None
    number = next(n for n in range(600, 700) if not os.path.exists("/tmp/.X11-unix/X%d" % n)
                  and not os.path.exists("/tmp/.X%d-lock" % n))
    # -noreset: as on a desktop, where other clients stay connected, the server does not start
    # over when the display check's connection, its only client, ends.
    server = subprocess.Popen(["Xvfb", ":%d" % number, "-nolisten", "tcp", "-noreset", "-screen",
                               "0", "1366x768x24"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        if os.path.exists("/tmp/.X11-unix/X%d" % number):
            return server, ":%d" % number
        time.sleep(0.05)
    server.kill()
    return None, None


def window_start_rows(build, previous, env, pairs):
    """Window starts that quit at once, each program in a folder of its own with the benchmark's
    window module beside it: now and before (each with its display check) against the program
    built without the check, interleaved so that all see the same load."""
    server, display = start_xvfb()
    if not server:
        return []
    try:
        runtime = os.path.abspath("runtime")
        os.makedirs(runtime, mode=0o700)
        env = dict(env, DISPLAY=display, XDG_RUNTIME_DIR=runtime)
        programs = [("now", os.path.join(build, "app", "wqern")),
                    ("bare", os.path.join(build, "bench", "wqern_unchecked"))]
        if previous:
            programs.append(("before", previous))
        runs = {}
        for name, program in programs:
            os.makedirs(name)
            shutil.copy(program, os.path.join(name, os.path.basename(program)))
            shutil.copy(os.path.join(build, "bench", "window_start_module.so"),
                        os.path.join(name, "wqern-windows.so"))
            argv = [os.path.abspath(os.path.join(name, os.path.basename(program))), "d.qrk"]
            runs[name] = (lambda a: lambda: spawn_ms(a, env))(argv)
        times = {name: [] for name in runs}
        for i in range(pairs + 3):
            for name, run in runs.items():
                t = run()
                if i >= 3:  # the first ones warm the caches
                    times[name].append(t)
        bare = statistics.median(times["bare"])
        rows = []
        for name in ("before", "now"):
            if name in times:
                now = statistics.median(times[name])
                rows.append(("window start on Xvfb, quits at once (%s)" % name, now,
                             "wqern without the check", bare, now / bare,
                             1.05 if name == "now" else None))
        return rows
    finally:
        server.terminate()  # it removes its socket and lock file itself
        server.wait()


def with_teeth(design, teeth, target):
    """The design file with the tooth count (the first whole number after the two reals that open
    the data) set to teeth."""
    with open(design, "rb") as f:
        lines = f.read().split(b"\r\n")
    reals = 0
    for i, line in enumerate(lines):
        text = line.strip()
        if reals < 2:
            reals += text.count(b".") == 1 and text.replace(b".", b"").isdigit()
        elif text.isdigit():
            lines[i] = str(teeth).encode()
            break
    else:
        raise RuntimeError("no tooth count in " + design)
    with open(target, "wb") as f:
        f.write(b"\r\n".join(lines))


def pair(name, run, baseline, pairs, goal):
    for _ in range(3):  # warm the page cache and the loader's caches
        run(), baseline()
    a, b = [], []
    for _ in range(pairs):
        a.append(run())
        b.append(baseline())
    now, base = statistics.median(a), statistics.median(b)
    return name, now, base, now / base, goal


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/dev")
    pairs = int(sys.argv[2]) if len(sys.argv) > 2 else 31
    # (Taken from the folder it was given in: the runs happen in a folder of their own.)
    previous = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None
    wqern = os.path.join(build, "app", "wqern")
    bare = os.path.join(build, "bench", "bare_listing")
    qern_bench = os.path.join(build, "bench", "qern_bench")
    cp = shutil.which("cp")
    work = tempfile.mkdtemp(prefix="qern-process-bench-")
    try:
        os.makedirs(os.path.join(work, "tmp"))
        shutil.copy(os.path.join(build, "app", "data", "null.qrk"), os.path.join(work, "d.qrk"))
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env.update(HOME=work, TMPDIR=os.path.join(work, "tmp"))
        os.chdir(work)

        def run(*args):
            return lambda: spawn_ms([wqern, "d.qrk", *args], env)

        # The outputs once, for their sizes and the bytes the baselines copy.
        run("/I")(), run("/CAD1:5")(), run("/CAD2:5")()
        listing = os.path.getsize("d.txt")
        shutil.copy("d.dxf", "ref.dxf")
        shutil.copy("d.igs", "ref.igs")
        # The wheels of many teeth (kind 7) as IGES, and the same with 100 teeth for the memory.
        design = os.path.join(build, "app", "data", "null.qrk")
        with_teeth(design, 9999, "z.qrk")
        with_teeth(design, 100, "y.qrk")
        spawn([wqern, "z.qrk", "/CAD2:7"], env), spawn([wqern, "z.qrk", "/CAD1:7"], env)
        shutil.copy("z.igs", "refz.igs")
        igs_bytes, dxf_bytes = os.path.getsize("z.igs"), os.path.getsize("z.dxf")
        peak_z = min(peak_kib([wqern, "z.qrk", "/CAD2:7"], env) for _ in range(3))
        peak_y = min(peak_kib([wqern, "y.qrk", "/CAD2:7"], env) for _ in range(3))
        rows = [
            pair("wqern d.qrk /I, whole process (%d B)" % listing, run("/I"),
                 lambda: spawn_ms([bare, "d.qrk", "bare.txt", str(listing)], env),
                 pairs, 3),
            pair("wqern d.qrk /CAD1:5 (%d B DXF)" % os.path.getsize("ref.dxf"), run("/CAD1:5"),
                 lambda: spawn_ms([cp, "ref.dxf", "copy.dxf"], env), pairs, None),
            pair("wqern d.qrk /CAD2:5 (%d B IGES)" % os.path.getsize("ref.igs"), run("/CAD2:5"),
                 lambda: spawn_ms([cp, "ref.igs", "copy.igs"], env), pairs, None),
            pair("wqern z.qrk /CAD2:7, 9,999 teeth (%d B IGES)" % igs_bytes,
                 lambda: spawn_ms([wqern, "z.qrk", "/CAD2:7"], env),
                 lambda: spawn_ms([cp, "refz.igs", "copyz.igs"], env), pairs, 3),
        ]
        baselines = ["bare_listing", "cp of the bytes", "cp of the bytes", "cp of the bytes"]
        # The wheels as IGES against the same as DXF, now and, given one, with the previous build.
        for name, program in [("now", wqern)] + ([("before", previous)] if previous else []):
            rows.append(pair("wqern z.qrk /CAD2:7, 9,999 teeth (%s)" % name,
                             (lambda p: lambda: spawn_ms([p, "z.qrk", "/CAD2:7"], env))(program),
                             (lambda p: lambda: spawn_ms([p, "z.qrk", "/CAD1:7"], env))(program),
                             pairs, 1.5 if name == "now" else None))
            baselines.append("/CAD1:7 of the same")
        sizes = [
            ("IGES bytes of /CAD2:7, 9,999 teeth", igs_bytes, "the same drawing as DXF",
             dxf_bytes, 3.5, "B"),
            ("peak memory of /CAD2:7, 9,999 teeth", peak_z, "the same with 100 teeth", peak_y, 2,
             "KiB"),
        ]
        windows = window_start_rows(build, previous, env, pairs)
        screen = []
        if os.path.exists(qern_bench):
            # Medians of repetitions, as the other rows.
            out = subprocess.run([qern_bench, "--benchmark_filter=OnScreenAgainstDxf",
                                  "--benchmark_repetitions=7",
                                  "--benchmark_report_aggregates_only=true",
                                  "--benchmark_format=json"], env=dict(env, QT_QPA_PLATFORM="offscreen"),
                                 capture_output=True, text=True, check=True).stdout
            for b in json.loads(out)["benchmarks"]:
                if b.get("aggregate_name", "median") != "median":
                    continue
                screen.append((b["run_name"].replace("BM_", ""), b["screen_ms"], b["dxf_ms"],
                               b["vs_dxf"], 2))
    finally:
        os.chdir("/")
        shutil.rmtree(work, ignore_errors=True)

    print("| what | now | baseline | baseline's figure | ratio | goal |")
    print("|---|---|---|---|---|---|")
    for (name, now, base, ratio, goal), what in zip(rows, baselines):
        print("| %s | %.2f ms | %s | %.2f ms | %.2fx | %s |"
              % (name, now, what, base, ratio, "<= %gx" % goal if goal else "-"))
    for name, now, what, base, goal, unit in sizes:
        print("| %s | %d %s | %s | %d %s | %.2fx | <= %gx |"
              % (name, now, unit, what, base, unit, now / base, goal))
    for name, now, what, base, ratio, goal in windows:
        print("| %s | %.2f ms | %s | %.2f ms | %.2fx | %s |"
              % (name, now, what, base, ratio, "<= %.2fx" % goal if goal else "-"))
    for name, now, base, ratio, goal in screen:
        print("| %s on screen | %.2f ms | the same as DXF, in memory | %.2f ms | %.2fx | <= %dx |"
              % (name, now, base, ratio, goal))
    ok = all(r[4] is None or r[3] <= r[4] for r in rows + screen)
    ok = ok and all(goal is None or ratio <= goal for *_, ratio, goal in windows)
    ok = ok and all(now <= goal * base for _, now, _, base, goal, _ in sizes)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
