#!/usr/bin/env python3
"""Prints the smallest `ulimit -v` (address space, in KiB) and `ulimit -n`
(descriptors) under which dump_metrics12 writes its whole table for the
font set FONTCONFIG_FILE names (or the machine's), on one CPU and on all of
them: each found by bisection against a plain run's table, ROUNDS times,
as the median [minimum, maximum].

usage: FONTCONFIG_FILE=... bench/fewest_limits.py PROGRAM [ROUNDS]
"""
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile

program = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
work = tempfile.mkdtemp(prefix="dm12-limits-")
table = os.path.join(work, "dump_metrics12.csv")


def run(limit=None, one_cpu=False):
    def apply():
        if limit:
            resource.setrlimit(limit[0], (limit[1], limit[1]))
    command = (["taskset", "-c", "0"] if one_cpu else []) + [program]
    done = subprocess.run(command, cwd=work, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          preexec_fn=apply, timeout=600)
    if done.returncode != 0:
        return None
    with open(table, "rb") as f:
        return f.read()


def fewest(which, low, high, one_cpu, whole):
    """The smallest value in (low, high] that gives the whole table."""
    while high - low > max(1, low // 200):
        middle = (low + high) // 2
        if run((which, middle * (1024 if which == resource.RLIMIT_AS else 1)), one_cpu) == whole:
            high = middle
        else:
            low = middle
    return high


whole = run()
if whole is None:
    sys.exit("fewest_limits: a plain run failed")
families = len({line.split(b"-'")[0] for line in whole.split(b"\r\n")[1:] if line})
print(f"font set: {os.environ.get('FONTCONFIG_FILE', 'the machine’s')}, "
      f"{families} fonts in the table")
for one_cpu in (True, False):
    where = "one CPU" if one_cpu else f"{len(os.sched_getaffinity(0))} CPUs"
    for name, which, low, high in (("ulimit -v", resource.RLIMIT_AS, 1000, 8000000),
                                   ("ulimit -n", resource.RLIMIT_NOFILE, 3, 64)):
        found = sorted(fewest(which, low, high, one_cpu, whole) for _ in range(rounds))
        print(f"{name} on {where}: {statistics.median(found)} "
              f"[{found[0]}, {found[-1]}] over {rounds} rounds")
shutil.rmtree(work)
