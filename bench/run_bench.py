#!/usr/bin/python3
"""Times whole runs of dump_metrics12 beside the floor program (bench_floor)
and, where mingw-w64 and Wine are installed, the Windows build under Wine.

    bench/run_bench.py [--build DIR] [--runs N] [--no-wine] [--no-scale]

N is 7 unless given.

Ours runs twice: pinned to one CPU (taskset -c 0), where it starts no worker
thread, and on every CPU the driver may use, where one worker per CPU
measures ahead. The floor is single-threaded and is pinned the same way.

The fonts are the machine's, or those of FONTCONFIG_FILE when it is set;
then, where their Debian packages are installed, the set of every format and
that set with the Noto CJK collections (bench/every_format_fonts.sh); and,
where fonts-inter-variable is installed, the variable set beside the same
instances made static (bench/variable_fonts.py), ours over one against ours
over the other round by round. Each
program runs once to warm up (fontconfig's cache, the Wine prefix template,
the page cache), then the floor and ours run in turn, N rounds: the table
gives the medians of wall, CPU (user + sys) and system seconds, page faults
and peak memory (max RSS), and the cost per family; ours/floor is taken
within each round and printed as its median, minimum and maximum, so that a
ratio holds while a shared machine's speed drifts.

CPU and memory cover every process of the run's tree: the program runs under
/usr/bin/time, which waits for it and its own children, and this driver makes
itself the subreaper of its children, so that a daemon such as wineserver is
reaped here and counted too. CPU is the whole tree's (wait4); max RSS is that
of the tree's largest process. The program is not forked from this driver
directly because a child's max RSS starts at its parent's, Python's 10 MiB.

The linearity check builds two private font sets from the base one: every
fourth family's files (1x) and all of them (4x), each a folder of symlinks
with a fonts.conf of its own, and compares the cost of one family in each.
"""

import argparse
import ctypes
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from dm12_run import environment, write_fonts_conf  # noqa: E402
PR_SET_CHILD_SUBREAPER = 36
STRAGGLER_WAIT_SECONDS = 15.0
TIME = "/usr/bin/time"
TASKSET = "/usr/bin/taskset"


def fail(message):
    sys.exit(f"run_bench: {message}")


def become_subreaper():
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        print("run_bench: prctl(PR_SET_CHILD_SUBREAPER) failed; daemons a run starts "
              "(wineserver) are not counted", file=sys.stderr)


def run_once(argv, run_dir, env):
    """Runs argv in run_dir; returns its wall, CPU and system seconds, page
    faults, max RSS (KiB), stdout and stderr over the whole process tree,
    reaping every descendant handed to us."""
    out_path = os.path.join(run_dir, ".stdout")
    err_path = os.path.join(run_dir, ".stderr")
    time_path = os.path.join(run_dir, ".time")
    argv = [TIME, "-f", "%M", "-o", time_path] + argv
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        try:
            os.chdir(run_dir)
            out = os.open(out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            err = os.open(err_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            os.dup2(out, 1)
            os.dup2(err, 2)
            devnull = os.open(os.devnull, os.O_RDONLY)
            os.dup2(devnull, 0)
            os.execve(argv[0], argv, env)
        except OSError as error:
            os.write(2, f"run_bench: cannot run {argv[0]}: {error}\n".encode())
        os._exit(127)

    wall = None
    status = None
    cpu = 0.0
    sys_time = 0.0
    faults = 0
    max_rss = 0
    deadline = None
    while True:
        try:
            flags = 0 if wall is None else os.WNOHANG
            reaped, exit_status, usage = os.wait4(-1, flags)
        except ChildProcessError:
            break
        if reaped == 0:  # only stragglers left, still running
            if time.monotonic() > deadline:
                print(f"run_bench: descendants of {argv[0]} still running after "
                      f"{STRAGGLER_WAIT_SECONDS:.0f} s; not counted", file=sys.stderr)
                break
            time.sleep(0.05)
            continue
        cpu += usage.ru_utime + usage.ru_stime
        sys_time += usage.ru_stime
        faults += usage.ru_minflt + usage.ru_majflt
        if reaped != pid:
            max_rss = max(max_rss, usage.ru_maxrss)
        else:
            wall = time.monotonic() - start
            status = os.waitstatus_to_exitcode(exit_status)
            deadline = time.monotonic() + STRAGGLER_WAIT_SECONDS
    with open(out_path, errors="replace") as out, open(err_path, errors="replace") as err:
        stdout, stderr = out.read(), err.read()
    if status != 0:
        fail(f"{' '.join(argv)} in {run_dir} exited with status {status}:\n{stderr[-2000:]}")
    with open(time_path) as times:
        max_rss = max(max_rss, int(times.read().split()[-1]))
    return {"wall": wall, "cpu": cpu, "sys": sys_time, "faults": faults, "rss": max_rss,
            "stdout": stdout, "stderr": stderr}


def families_of(program, stdout, stderr):
    """(families, callbacks): the distinct names of the "Processing font" lines
    and their number: Wine calls back several times for one family."""
    if program == "floor":
        for line in stderr.splitlines():
            if line.startswith("bench_floor:") and "families" in line:
                count = int(line.split()[1])
                return count, count
        fail(f"bench_floor reported no family count: {stderr[-500:]}")
    lines = [line for line in stdout.splitlines() if line.startswith("Processing font")]
    return len(set(lines)), len(lines)


FIGURES = ("wall", "cpu", "sys", "faults", "rss")


def summary(program, samples):
    families, callbacks = families_of(program, samples[-1]["stdout"], samples[-1]["stderr"])
    row = {"program": program, "runs": len(samples), "families": families,
           "callbacks": callbacks}
    for figure in FIGURES:
        row[figure] = statistics.median(sample[figure] for sample in samples)
    row["rss_mib"] = row["rss"] / 1024.0
    return row


def measure(program, argv, run_dir, env, runs):
    os.makedirs(run_dir, exist_ok=True)
    run_once(argv, run_dir, env)  # warm-up
    return summary(program, [run_once(argv, run_dir, env) for _ in range(runs)])


def measure_paired(programs, work, set_name, env, runs, envs=None):
    """Runs each of `programs` (name -> argv) once per round, in turn, after
    a warm-up of each: a ratio is taken within a round, so that it holds
    while the machine's speed drifts. `envs` (name -> environment) gives a
    program an environment of its own. Returns the rows and every round's
    samples."""
    envs = envs or {}
    dirs = {name: os.path.join(work, f"{set_name}-{name}") for name in programs}
    for name, argv in programs.items():
        os.makedirs(dirs[name], exist_ok=True)
        run_once(argv, dirs[name], envs.get(name, env))
    rounds = [{name: run_once(argv, dirs[name], envs.get(name, env))
               for name, argv in programs.items()}
              for _ in range(runs)]
    rows = []
    for name in programs:
        row = summary(name, [round_[name] for round_ in rounds])
        row["set"] = set_name
        rows.append(row)
    return rows, rounds


def ratio_spread(rounds, a, b, figure):
    """The ratio a/b of one figure, round by round: median [min, max]."""
    ratios = [r[a][figure] / r[b][figure] for r in rounds if r[b][figure] > 0]
    if not ratios:
        return "-"
    return (f"{statistics.median(ratios):.2f} [{min(ratios):.2f}, {max(ratios):.2f}]")


def cpu_model():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def font_files_by_family(env):
    """The base set's files, grouped by the fontconfig family of each file's
    first face (a collection's other faces come along with it)."""
    listing = subprocess.run(["fc-list", "--format", "%{family[0]}\t%{index}\t%{file}\n"],
                             env=env, capture_output=True, text=True, check=True).stdout
    first_face = {}
    for line in listing.splitlines():
        parts = line.split("\t")
        if len(parts) != 3 or not parts[1].isdigit():
            continue
        family, index, path = parts[0], int(parts[1]), parts[2]
        if path not in first_face or index < first_face[path][0]:
            first_face[path] = (index, family)
    families = {}
    for path, (_, family) in first_face.items():
        families.setdefault(family, []).append(path)
    return families


def make_font_set(folder, files, copies, cache_dir):
    """A folder of symlinks to `files`, `copies` times under different folder
    names, and a fonts.conf listing only them."""
    shutil.rmtree(folder, ignore_errors=True)
    dirs = []
    for copy in range(copies):
        font_dir = os.path.join(folder, f"fonts{copy + 1}")
        os.makedirs(font_dir)
        for number, path in enumerate(sorted(files)):
            os.symlink(path, os.path.join(font_dir, f"{number:04d}-{os.path.basename(path)}"))
        dirs.append(font_dir)
    return write_fonts_conf(os.path.join(folder, "fonts.conf"), dirs, cache_dir)


def wine_available(args):
    if args.no_wine:
        return False, "skipped (--no-wine)"
    if not shutil.which("x86_64-w64-mingw32-g++"):
        return False, "skipped: no mingw-w64 (x86_64-w64-mingw32-g++)"
    if not os.access(os.environ.get("WINE", "/usr/lib/wine/wine64"), os.X_OK):
        return False, "skipped: no Wine (/usr/lib/wine/wine64)"
    return True, ""


def build_windows():
    result = subprocess.run(["make", "-C", ROOT, "windows", "JOBS=2"], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"'make windows' failed:\n{result.stdout[-2000:]}{result.stderr[-2000:]}")


def print_table(title, rows):
    print(f"\n{title}")
    header = (f"{'font set':<18} {'program':<8} {'runs':>4} {'families':>8} {'calls':>6} "
              f"{'wall s':>7} {'cpu s':>7} {'sys s':>6} {'faults':>7} {'RSS MiB':>7} "
              f"{'wall ms/fam':>11} {'cpu ms/fam':>10}")
    print(header)
    print("-" * len(header))
    for row in rows:
        per_family = lambda value: (f"{1000.0 * value / row['families']:.2f}"
                                    if row["families"] else "-")
        print(f"{row['set']:<18} {row['program']:<8} {row['runs']:>4} {row['families']:>8} "
              f"{row['callbacks']:>6} {row['wall']:>7.3f} {row['cpu']:>7.3f} {row['sys']:>6.3f} "
              f"{row['faults']:>7.0f} {row['rss_mib']:>7.1f} "
              f"{per_family(row['wall']):>11} {per_family(row['cpu']):>10}")


def measure_variable_set(ours, work, runs):
    """Ours over the variable set and over the same instances made static
    (bench/variable_fonts.py), paired round by round; None where the set
    cannot be made. Returns the rows, the rounds, and how many rows of the
    two tables differ of how many."""
    made = subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "bench", "variable_fonts.py"),
                           os.path.join(work, "set-variable")], capture_output=True, text=True)
    if made.returncode != 0:
        print(f"variable fonts: skipped: {made.stderr.strip()}")
        return None
    variable_conf, static_conf = made.stdout.split()
    envs = {"variable": environment(variable_conf),
            "static": environment(static_conf)}
    rows, rounds = measure_paired({"variable": [ours], "static": [ours]}, work,
                                  "variable", None, runs, envs)
    tables = []
    for name in ("variable", "static"):
        with open(os.path.join(work, f"variable-{name}", "dump_metrics12.csv"), "rb") as table:
            tables.append(table.read().split(b"\r\n"))
    # Rows of either table the other lacks: none where both name and measure
    # the instances alike.
    differing = len(set(tables[0]) ^ set(tables[1]))
    return rows, rounds, differing, len(tables[0]) + len(tables[1])


def print_variable_ratios(rounds, differing, total):
    print("  variable fonts: ours over the variable set / ours over the same instances made "
          "static with the instancer (target: at most 1.20):")
    print(f"    wall {ratio_spread(rounds, 'variable', 'static', 'wall')}, "
          f"cpu {ratio_spread(rounds, 'variable', 'static', 'cpu')}, "
          f"max RSS {ratio_spread(rounds, 'variable', 'static', 'rss')}; "
          f"tables: {differing} of their {total} rows in one alone")


def print_variable_set(ours, work, runs):
    """--variable-only: the variable set and its static counterpart alone."""
    print(f"dump_metrics12 benchmark, variable set: {runs} rounds after one warm-up; medians, "
          "and ratios taken round by round as median [min, max]")
    print(f"machine: {cpu_model()}; {len(os.sched_getaffinity(0))} CPUs; "
          f"load average at start {os.getloadavg()[0]:.2f}")
    variable = measure_variable_set(ours, work, runs)
    if not variable:
        return 1
    print_table("Whole runs", variable[0])
    print()
    print_variable_ratios(*variable[1:])
    print(f"\nload average at end {os.getloadavg()[0]:.2f}")
    return 0


def ratio(a, b):
    return f"{a / b:.2f}x" if b > 0 else "-"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"),
                        help="the native build folder (dump_metrics12, bench_floor)")
    parser.add_argument("--runs", type=int, default=7, help="timed rounds of the programs")
    parser.add_argument("--no-wine", action="store_true", help="leave the Windows build out")
    parser.add_argument("--no-scale", action="store_true", help="leave the linearity check out")
    parser.add_argument("--variable-only", action="store_true",
                        help="time the variable set against its static counterpart alone")
    args = parser.parse_args()
    if args.runs < 1:
        fail("--runs must be at least 1")

    build = os.path.abspath(args.build)
    ours = os.path.join(build, "dump_metrics12")
    floor = os.path.join(build, "bench_floor")
    if not os.access(TIME, os.X_OK):
        fail(f"no {TIME} (Debian package time)")
    if not os.access(TASKSET, os.X_OK):
        fail(f"no {TASKSET} (Debian package util-linux)")
    for program in (ours, floor):
        if not os.access(program, os.X_OK):
            fail(f"no program at '{program}' (build it with 'make')")
    work = os.path.join(build, "bench-work")
    os.makedirs(work, exist_ok=True)
    become_subreaper()

    if args.variable_only:
        return print_variable_set(ours, work, args.runs)

    base_conf = os.environ.get("FONTCONFIG_FILE")
    base_name = "FONTCONFIG_FILE" if base_conf else "machine"
    base_env = environment(base_conf)
    with_wine, wine_note = wine_available(args)
    wine_exe = os.path.join(ROOT, "build-windows", "dump_metrics12.exe")
    if with_wine:
        build_windows()

    cpus = len(os.sched_getaffinity(0))
    print(f"dump_metrics12 benchmark: {args.runs} rounds after one warm-up, the programs in turn "
          f"within a round; medians, and ratios taken round by round as median [min, max]")
    print(f"machine: {cpu_model()}; {cpus} CPUs; load average at start {os.getloadavg()[0]:.2f}")

    # The base set, then the sets of every format, with and without the Noto
    # CJK collections, where their packages are installed.
    sets = [(base_name, base_conf)]
    for name, flavour in (("every format", "every"), ("every format+CJK", "cjk")):
        folder = os.path.join(work, "set-" + flavour)
        made = subprocess.run(["sh", os.path.join(ROOT, "bench", "every_format_fonts.sh")]
                              + (["--cjk"] if flavour == "cjk" else []) + [folder],
                              capture_output=True, text=True)
        if made.returncode == 0:
            sets.append((name, made.stdout.strip()))
        else:
            print(f"{name}: skipped: {made.stderr.strip()}")

    one_cpu = [TASKSET, "-c", "0"]
    programs = {"floor": one_cpu + [floor], "ours-1": one_cpu + [ours], "ours": [ours]}
    rows = []
    ratios = []
    for set_name, conf in sets:
        set_rows, rounds = measure_paired(programs, work, set_name, environment(conf),
                                          args.runs)
        rows += set_rows
        ratios.append((set_name, rounds))

    variable = measure_variable_set(ours, work, args.runs)
    if variable:
        rows += variable[0]

    wine_argv = [os.path.join(ROOT, "tools", "run_under_wine.sh"), wine_exe]
    def add_wine(set_name, env, fonts_conf):
        run_dir = os.path.join(work, f"{set_name}-wine")
        argv = wine_argv + [run_dir] + ([fonts_conf] if fonts_conf else [])
        row = measure("wine", argv, run_dir, env, args.runs)
        row["set"] = set_name
        rows.append(row)
        return row
    wine_row = add_wine(base_name, base_env, base_conf) if with_wine else None
    ours_row = next(row for row in rows if row["program"] == "ours")

    # The fixed cost of a start: the same programs over a font set with no font.
    empty_folder = os.path.join(work, "set-empty")
    os.makedirs(empty_folder, exist_ok=True)
    empty_conf = write_fonts_conf(os.path.join(empty_folder, "fonts.conf"), [],
                                  os.path.join(work, "fc-cache"))
    empty_env = environment(empty_conf)
    empty_rows, _ = measure_paired({"floor": [floor], "ours": [ours]}, work, "empty", empty_env,
                                   args.runs)
    rows += empty_rows
    empty = {row["program"]: row for row in empty_rows}
    if with_wine:
        add_wine("empty", empty_env, empty_conf)

    print_table("Whole runs (ours-1: ours pinned to one CPU, as the floor is; "
                "faults: minor and major page faults)", rows)
    print("\nours/floor, round by round: median [min, max]")
    for set_name, rounds in ratios:
        print(f"  {set_name}:")
        print(f"    one CPU: wall {ratio_spread(rounds, 'ours-1', 'floor', 'wall')}, "
              f"cpu {ratio_spread(rounds, 'ours-1', 'floor', 'cpu')}, "
              f"sys {ratio_spread(rounds, 'ours-1', 'floor', 'sys')}, "
              f"faults {ratio_spread(rounds, 'ours-1', 'floor', 'faults')}, "
              f"max RSS {ratio_spread(rounds, 'ours-1', 'floor', 'rss')}")
        print(f"    {cpus} CPUs: wall {ratio_spread(rounds, 'ours', 'floor', 'wall')}, "
              f"cpu {ratio_spread(rounds, 'ours', 'floor', 'cpu')}, "
              f"sys {ratio_spread(rounds, 'ours', 'floor', 'sys')}, "
              f"faults {ratio_spread(rounds, 'ours', 'floor', 'faults')}, "
              f"max RSS {ratio_spread(rounds, 'ours', 'floor', 'rss')}")
    if variable:
        print_variable_ratios(*variable[1:])
    if wine_row:
        print(f"wine/ours over {base_name}:   wall {ratio(wine_row['wall'], ours_row['wall'])}, "
              f"cpu {ratio(wine_row['cpu'], ours_row['cpu'])}, "
              f"max RSS {ratio(wine_row['rss_mib'], ours_row['rss_mib'])}")
        print("  wine's figures are whole runs of tools/run_under_wine.sh: cloning the prefix, "
              "starting Wine and wineserver, and the program; its CPU is the whole process "
              "tree's, its max RSS the largest process's. The 'empty' row is that start-up alone.")
    else:
        print(f"wine: {wine_note}")

    if not args.no_scale:
        families = font_files_by_family(base_env)
        names = sorted(families, key=str.casefold)
        quarter = [path for name in names[::4] for path in families[name]]
        everything = [path for name in names for path in families[name]]
        cache = os.path.join(work, "fc-cache")
        scale_rows = []
        for set_name, files, copies in (("1x (every 4th)", quarter, 1), ("4x (all)", everything, 1),
                                        ("all, 4 copies", everything, 4)):
            folder = os.path.join(work, "set-" + set_name.split()[0].replace(",", ""))
            conf = make_font_set(folder, files, copies, cache)
            env = environment(conf)
            for program, argv in (("floor", [floor]), ("ours", [ours])):
                row = measure(program, argv, os.path.join(folder, "run-" + program), env, args.runs)
                row["set"] = set_name
                row["files"] = len(files) * copies
                scale_rows.append(row)
        print_table("Linearity: private font sets of symlinks to the base set's files", scale_rows)
        print()
        for program in ("floor", "ours"):
            one, four, copies = (r for r in scale_rows if r["program"] == program)
            print(f"{program:<5} 4x/1x: families {ratio(four['families'], one['families'])}, "
                  f"wall {ratio(four['wall'], one['wall'])}, cpu {ratio(four['cpu'], one['cpu'])}, "
                  f"cpu per family {ratio(four['cpu'] / four['families'], one['cpu'] / one['families'])}; "
                  f"max RSS {one['rss_mib']:.1f} -> {four['rss_mib']:.1f} MiB")
            fixed = empty[program]["cpu"]
            print(f"{'':<5} cpu per family above the empty run's {1000 * fixed:.1f} ms: "
                  f"1x {1000 * (one['cpu'] - fixed) / one['families']:.2f} ms, "
                  f"4x {1000 * (four['cpu'] - fixed) / four['families']:.2f} ms")
            print(f"{'':<5} 4 copies/all ({copies['files']} vs {four['files']} files, same families): "
                  f"wall {ratio(copies['wall'], four['wall'])}, cpu {ratio(copies['cpu'], four['cpu'])}, "
                  f"max RSS {copies['rss_mib']:.1f} MiB")

    print(f"\nload average at end {os.getloadavg()[0]:.2f}; the machine is shared, so the "
          "figures are noisy: compare ratios within one run of the benchmark.")
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    sys.exit(main())
