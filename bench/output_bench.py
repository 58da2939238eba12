#!/usr/bin/env python3
"""The cost of writing an output file: two builds of wqern side by side in one run.

  bench/output_bench.py <wqern before> <wqern after> [pairs]      (default 31 pairs)

Each row runs one output of the command line in a folder on tmpfs (/dev/shm when there is one),
replacing the file of the previous run (the usual case) or making it new, with both programs back
to back in each pair so that both see the same machine load. It prints the medians of the wall
times and of the processor times (user and system, less disturbed by other work on the machine) and, counted with strace when it is there, the system calls of a whole run: all of them, and
those that name the output file or its working file (the checks and the writing of the file).
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def spawn_ms(argv, env):
    start = time.perf_counter_ns()
    pid = os.posix_spawn(argv[0], argv, env, file_actions=[
        (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
        (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
        (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
    _, status, usage = os.wait4(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(" ".join(argv) + " failed with status " + str(status))
    return (time.perf_counter_ns() - start) / 1e6, (usage.ru_utime + usage.ru_stime) * 1e3


def calls(argv, env, output, fresh):
    """System calls of one run: (all, those of the output file: its name or its descriptor)."""
    strace = shutil.which("strace")
    if not strace:
        return None, None
    if fresh and os.path.lexists(output):
        os.remove(output)
    log = "strace.log"
    subprocess.run([strace, "-f", "-o", log, *argv], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    with open(log) as f:
        lines = [line for line in f if re.match(r"^\d+\s+\w+\(", line)]
    file_calls, fds = 0, set()
    for line in lines:
        # The output, its working file ".d.dxf.XXXXXX" and calls on the working file's descriptor
        # until it is closed; the private working folder of the run counts as the writers' too.
        name = re.search(r'"(?:[^"]*/)?\.?' + re.escape(output) + r'(\.\w{6})?"', line)
        folder = re.search(r'"[^"]*/\.wqern-\d+-\w{6}"', line)
        call = re.match(r"^\d+\s+(\w+)\((\d+)?", line)
        on_fd = call.group(2) is not None and int(call.group(2)) in fds
        own = call.group(1) in ("geteuid", "umask", "getpid") or re.match(r"^\d+\s+getrandom\(\"[^\"]*\", 6,", line)
        if name or folder or on_fd or own:
            file_calls += 1
        if name and call.group(1) == "openat":
            fd = re.search(r"= (\d+)$", line.strip())
            if fd:
                fds.add(int(fd.group(1)))
        if on_fd and call.group(1) == "close":
            fds.discard(int(call.group(2)))
    os.remove(log)
    return len(lines), file_calls


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    before, after = (os.path.abspath(p) for p in sys.argv[1:3])
    pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 31
    root = "/dev/shm" if os.path.isdir("/dev/shm") else None
    work = tempfile.mkdtemp(prefix="qern-output-bench-", dir=root)
    rows = []
    try:
        os.makedirs(os.path.join(work, "tmp"))
        shutil.copy(os.path.join(os.path.dirname(after), "data", "null.qrk"), os.path.join(work, "d.qrk"))
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env.update(HOME=work, TMPDIR=os.path.join(work, "tmp"))
        os.chdir(work)
        for switch, output in (("/I", "d.txt"), ("/CAD1:5", "d.dxf"), ("/CAD2:5", "d.igs"),
                               ("/CAD5:5", "d.txt")):
            for fresh in (False, True):
                def run(program):
                    if fresh and os.path.lexists(output):
                        os.remove(output)
                    return spawn_ms([program, "d.qrk", switch], env)
                for _ in range(3):  # warm the caches, and leave the output there
                    run(before), run(after)
                a, b = [], []
                for _ in range(pairs):
                    a.append(run(before))
                    b.append(run(after))
                counts = [calls([p, "d.qrk", switch], env, output, fresh) for p in (before, after)]
                rows.append(("%s %s %s (%d B)" % (switch, "new" if fresh else "replacing", output,
                                                  os.path.getsize(output)),
                             [statistics.median(x[i] for x in a) for i in (0, 1)],
                             [statistics.median(x[i] for x in b) for i in (0, 1)], counts))
    finally:
        os.chdir("/")
        shutil.rmtree(work, ignore_errors=True)

    print("| output | wall before | wall after | ratio | cpu before | cpu after | ratio"
          " | calls before (file) | calls after (file) |")
    print("|---|---|---|---|---|---|---|---|---|")
    for name, a, b, ((ca, fa), (cb, fb)) in rows:
        print("| %s | %.2f ms | %.2f ms | %.2fx | %.2f ms | %.2f ms | %.2fx | %s (%s) | %s (%s) |"
              % (name, a[0], b[0], b[0] / a[0], a[1], b[1], b[1] / max(a[1], 1e-9), ca, fa, cb, fb))
    return 0


if __name__ == "__main__":
    sys.exit(main())
