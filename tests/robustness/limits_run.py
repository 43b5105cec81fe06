#!/usr/bin/env python3
"""Runs the real dump_metrics12 where the machine runs short, and checks that
nothing is lost: each run ends with status 0 and the whole table (the same
bytes as a plain run's), or with status 1, one line on standard error naming
the shortage, and the earlier table kept; never a signal, a hang, a leftover
temporary file or a table with fonts missing.

usage: limits_run.py PROGRAM WORK_DIR FONT_DIR SHIM|none

SHIM is the shortage shim (shortage_shim.cpp), preloaded to make allocations
and thread creation fail; "none" in sanitized builds, whose runtime owns
malloc and needs more address space and stack than the limits below give:
there only the limits on descriptors are tried.
"""
import os
import resource
import shutil
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import run_program, write_fonts_conf  # noqa: E402
program, work, font_dir, shim = sys.argv[1:5]
program, work, font_dir = (os.path.abspath(p) for p in (program, work, font_dir))
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
cache = os.path.join(work, "cache")
conf = write_fonts_conf(os.path.join(work, "fonts.conf"), font_dir, cache)
run_dir = os.path.join(work, "run")
os.makedirs(run_dir)
table = os.path.join(run_dir, "dump_metrics12.csv")
EARLIER = b"earlier table\r\n"
ONE_CPU = ["taskset", "-c", "0"] if shutil.which("taskset") else []
problems = []


def run(limits=(), env=None, one_cpu=False, config=None):
    """Runs the program under `limits` ((resource, value) pairs, or (resource,
    soft, hard)) with the earlier table in place; returns (status, stderr)."""
    with open(table, "wb") as f:
        f.write(EARLIER)

    def limit():
        for which, *values in limits:
            resource.setrlimit(which, (values[0], values[-1]))

    # taskset runs before the limits and the shim reach the program.
    command = (ONE_CPU if one_cpu else []) + ["env"] + [f"{k}={v}" for k, v in (env or {}).items()]
    done = run_program(command + [program], run_dir, config or conf, 120, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, preexec_fn=limit)
    return done.returncode, done.stderr.decode("utf-8", "replace")


def check(name, status, err, shortage, loader_may_fail=False):
    """The run is whole, or failed for `shortage` and kept the earlier table.
    Where `loader_may_fail`, the dynamic loader may also have failed under the
    limit, before the program ran, which is no answer of the program's: it
    could not map a library (status 127, and it says so), could not allocate
    its own memory once the libraries were mapped (status 127, "out of
    memory" alone, without the program's name), or its own thread storage
    (SIGSEGV in the loader, nothing said, on Debian 12 at 7.8 MB; status 127
    and "cannot allocate TLS data structures for initial thread" on Debian
    13 at 8.5 MB)."""
    with open(table, "rb") as f:
        got = f.read()
    left = sorted(set(os.listdir(run_dir)) - {"dump_metrics12.csv"})
    if left:
        problems.append(f"{name}: files left beside the table: {left}")
    if status == 0 and got == whole and err == "":
        return "whole"
    if loader_may_fail and got == EARLIER and not left and (
            (status == 127 and err.startswith(f"{program}: error while loading shared libraries: "))
            or (status == 127 and err == "out of memory\n")
            or (status == 127 and err == "cannot allocate TLS data structures for initial thread\n")
            or (status == -signal.SIGSEGV and err == "")):
        return "not started"
    lines = err.splitlines()
    if status == 1 and got == EARLIER and lines and lines[-1].startswith("dump_metrics12: ") \
            and shortage in lines[-1]:
        return "short"
    problems.append(f"{name}: status {status}, table of {len(got)} bytes "
                    f"({'earlier' if got == EARLIER else 'whole' if got == whole else 'torn'}), "
                    f"standard error {err[-300:]!r}")
    return "broken"


status, err = run()
with open(table, "rb") as f:
    whole = f.read()
if status != 0 or err or len(whole) < 4096:
    sys.exit(f"FAIL: a plain run: status {status}, {len(whole)} bytes, {err!r}")

# Descriptors. The fewest a run needs are the same on one CPU and on all of
# them; the first run of each sweep has no fontconfig cache, which a run short
# of descriptors must not write without its fonts.
fewest = {}
for one_cpu in (True, False):
    shutil.rmtree(cache, ignore_errors=True)
    for n in range(4, 13):
        name = f"ulimit -n {n}" + (" on one CPU" if one_cpu else "")
        got = check(name, *run([(resource.RLIMIT_NOFILE, n)], one_cpu=one_cpu),
                    "Too many open files")
        if got == "whole" and one_cpu not in fewest:
            fewest[one_cpu] = n
    check("a plain run after them", *run(), "nothing")
if fewest.get(True) != fewest.get(False):
    problems.append(f"the fewest descriptors a run needs grow with the CPUs: {fewest}")
print(f"fewest descriptors: {fewest.get(True)}")

if shim != "none":
    # Stacks: workers get their own size whatever the limit; the program's
    # thread grows as the hard limit allows.
    # fontconfig parses nested includes deep in the stack, as a system's
    # configuration has them: twelve levels, the last the fonts'.
    nested = os.path.join(work, "nested")
    os.makedirs(nested)
    for level in range(12, 0, -1):
        inner = conf if level == 12 else os.path.join(nested, f"{level + 1}.conf")
        with open(os.path.join(nested, f"{level}.conf"), "w") as f:
            f.write('<?xml version="1.0"?>\n<fontconfig><include ignore_missing="no">'
                    f"{inner}</include></fontconfig>\n")
    check("ulimit -s 64, nested includes",
          *run([(resource.RLIMIT_STACK, 64 * 1024)], config=os.path.join(nested, "1.conf")),
          "nothing")
    check("ulimit -S -s 32",
          *run([(resource.RLIMIT_STACK, 32 * 1024, resource.RLIM_INFINITY)]), "nothing")
    # Address space: whole where it suffices, else "out of memory".
    # Address space: whole where it suffices, else "out of memory". The
    # smallest limits stop the loader before the program starts (below 7.9 MB
    # on Debian 12, 8.6 MB on Debian 13), so the limit climbs in steps of
    # 100 KB up to the first whole table, through every limit under which the
    # program starts and runs short, then a few above it.
    # Once the program has started under a limit, it starts under every
    # larger one: from there on only its own answers count.
    results = set()
    kilobytes = 4000
    while kilobytes <= 16000 and "whole" not in results:
        results.add(check(f"ulimit -v {kilobytes}",
                          *run([(resource.RLIMIT_AS, kilobytes * 1024)]), "out of memory",
                          loader_may_fail=results <= {"not started"}))
        kilobytes += 100
    for megabytes in (24, 32, 48, 64, 96):
        results.add(check(f"ulimit -v {megabytes * 1000}",
                          *run([(resource.RLIMIT_AS, megabytes * 1000 * 1024)]), "out of memory"))
    if "whole" not in results:
        problems.append("no limit on address space was enough for a whole table")
    if "short" not in results:
        problems.append(f"no limit on address space left the program short of memory: {results}")

    preload = {"LD_PRELOAD": os.path.abspath(shim)}
    check("no thread can be created", *run(env=dict(preload, DM12_FAIL_THREADS=1)), "nothing")
    # Every allocation from the k-th on fails, k spread over a whole run's.
    status, err = run(env=dict(preload, DM12_COUNT_ALLOCATIONS=1), one_cpu=True)
    count = int(err.split("allocations: ")[-1])
    told = set()

    def fail_allocation(k, one_cpu):
        name = f"allocation {k} of {count} failing" + (" on one CPU" if one_cpu else "")
        status, err = run(env=dict(preload, DM12_FAIL_ALLOCATION=k), one_cpu=one_cpu)
        if check(name, status, err, "out of memory") == "short":
            told.add(err.splitlines()[-1].split(" while ")[-1].split(" font ")[0])

    for one_cpu, points in ((True, 32), (False, 12)):
        for j in range(points):
            fail_allocation(1 + count * j // points, one_cpu)
    # Measuring a font takes few of a run's allocations (Debian 13's
    # fontconfig takes many more while listing): on one CPU, the points
    # halfway between those tried, and so on, until every moment is met.
    tried = {1 + count * j // 32 for j in range(32)}
    step = count // 32
    while len(told) < 3 and step > 1 and len(tried) < 400:
        for k in range(1 + step // 2, count, step):
            if k not in tried:
                tried.add(k)
                fail_allocation(k, True)
        step //= 2
    # Out of memory while listing, measuring and between fonts were all met.
    if len(told) < 3:
        problems.append(f"the failing allocations met too few moments of the run: {told}")

for p in problems:
    print("FAIL: " + p)
sys.exit(1 if problems else 0)
