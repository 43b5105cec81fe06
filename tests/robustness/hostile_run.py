#!/usr/bin/env python3
"""Runs the real dump_metrics12 where its surroundings work against it, and
checks that nothing goes silently wrong: standard output closed, full, or a
pipe nobody reads; a file-size limit; an interrupt or a fatal signal. Each run starts with an
earlier table in place, and must end with either the whole new table (the
same bytes as a plain run's) or the earlier table untouched, never a torn one
and never a leftover temporary file; its status and standard error say which.

usage: hostile_run.py PROGRAM WORK_DIR FONTCONFIG_FILE
"""
import os
import resource
import shutil
import signal
import subprocess
import sys
import time

program, work, fontconfig = (os.path.abspath(arg) for arg in sys.argv[1:4])
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
env = dict(os.environ, FONTCONFIG_FILE=fontconfig)
table = os.path.join(work, "dump_metrics12.csv")
EARLIER = b"earlier table\r\n"
problems = []


def read_table():
    with open(table, "rb") as f:
        return f.read()


def run(stdout, limit=None):
    """Runs the program with the earlier table in place; returns (status, stderr)."""
    with open(table, "wb") as f:
        f.write(EARLIER)

    def limits():
        if limit is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    done = subprocess.run([program], cwd=work, env=env, stdin=subprocess.DEVNULL, stdout=stdout,
                          stderr=subprocess.PIPE, preexec_fn=limits, timeout=300)
    return done.returncode, done.stderr.decode("utf-8", "replace")


def check(name, status, err, want_status, want_err, want_table):
    if status != want_status:
        problems.append("%s: status %d, not %d" % (name, status, want_status))
    if err != want_err:
        problems.append("%s: standard error %r, not %r" % (name, err, want_err))
    got = read_table()
    if got != want_table and not (want_table is None and got in (EARLIER, whole)):
        problems.append("%s: the table is %d bytes, not the %s" % (
            name, len(got), "earlier one" if want_table == EARLIER else
            "whole new one" if want_table is not None else "earlier one or the whole new one"))
    left = sorted(set(os.listdir(work)) - {"dump_metrics12.csv"})
    if left:
        problems.append("%s: files left beside the table: %s" % (name, left))


status, err = run(subprocess.DEVNULL)
check("plain run", status, err, 0, "", read_table())
whole = read_table()
if len(whole) < 4096:
    problems.append("the font set's table is too small to pass a write limit: %d bytes" % len(whole))

# Closed: the program must not open its table on descriptor 1.
closed = subprocess.run([program], cwd=work, env=env, stdin=subprocess.DEVNULL,
                        stderr=subprocess.PIPE, timeout=300,
                        preexec_fn=lambda: os.close(1))
check("standard output closed", closed.returncode, closed.stderr.decode(), 0, "", whole)

with open("/dev/full", "wb") as full:
    status, err = run(full)
check("standard output full", status, err, 1,
      "dump_metrics12: cannot write standard output: No space left on device\n", whole)

reading, writing = os.pipe()
os.close(reading)
status, err = run(writing)
os.close(writing)
check("a pipe nobody reads", status, err, 1,
      "dump_metrics12: cannot write standard output: Broken pipe\n", whole)

status, err = run(subprocess.DEVNULL, limit=4096)
check("a file-size limit", status, err, 1,
      "dump_metrics12: cannot write 'dump_metrics12.csv': File too large\n", EARLIER)

# Interrupted or crashed once its first line is out: the signal may come
# before the new table is in place or after, but either way the table is
# whole or the earlier one (want_table None), and the unfinished one is gone.
# A sanitizer's runtime reports a fault signal itself, and exits.
for signal_number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGSEGV,
                      signal.SIGBUS, signal.SIGABRT, signal.SIGXCPU, signal.SIGUSR1,
                      signal.SIGALRM):
    with open(table, "wb") as f:
        f.write(EARLIER)
    # Where this script was started as a background job, SIGINT is ignored,
    # and would stay ignored in the program.
    child = subprocess.Popen([program], cwd=work, env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             preexec_fn=lambda: signal.signal(signal_number, signal.SIG_DFL))
    # Caught with its unfinished table open where possible: stopped as soon
    # as that file shows, then signalled, then let go on.
    deadline = time.monotonic() + 60
    while child.poll() is None and time.monotonic() < deadline and \
            not any(n.startswith("dump_metrics12.csv.") for n in os.listdir(work)):
        pass
    child.send_signal(signal.SIGSTOP)
    child.send_signal(signal_number)
    child.send_signal(signal.SIGCONT)
    out, err = child.communicate(timeout=300)
    name = "interrupted by %s" % signal.Signals(signal_number).name
    err = err.decode("utf-8", "replace")
    sanitizer_report = child.returncode > 0 and "Sanitizer" in err
    status = 0 if child.returncode == -signal_number or sanitizer_report else child.returncode
    check(name, status, "" if sanitizer_report else err, 0, "", None)

for p in problems:
    print("FAIL: " + p)
sys.exit(1 if problems else 0)
