"""Side-by-side timings with hyperfine: morvane-extract against Apache POI,
LibreOffice and the floor program, one process per file (start included);
many decks in one call; --jobs 2 against --jobs 1; instruction and system
call counts where wall time is too noisy. Used by bench.py."""

import json
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
JAVA_JARS = ["poi", "poi-scratchpad", "poi-ooxml", "commons-collections4", "commons-compress",
             "commons-math3", "commons-codec", "xmlbeans"]


def log(message):
    print(message, file=sys.stderr, flush=True)


@dataclass
class Timing:
    """hyperfine's runs of one command, in milliseconds."""
    times: list
    user_ms: float
    system_ms: float
    outputs: int = 0
    failed_runs: int = 0
    load: tuple = (0.0, 0.0)

    @property
    def median(self):
        return statistics.median(self.times)

    @property
    def quartiles(self):
        if len(self.times) < 4:
            return min(self.times), max(self.times)
        q = statistics.quantiles(self.times, n=4)
        return q[0], q[2]

    @property
    def cpu_ms(self):
        return self.user_ms + self.system_ms


@dataclass
class Tool:
    """One way of taking the pictures out of FILE into OUT."""
    name: str
    argv: callable  # (file, out) -> list of str
    warmup: int
    runs: int
    note: str = ""


@dataclass
class Tools:
    extractor: Path
    floor: Path = None
    java: list = None  # java command with class path, up to the class name
    soffice: str = None
    profile: Path = None
    missing: dict = field(default_factory=dict)  # tool -> why it is not measured

    def morvane(self, runs, warmup=3):
        return Tool("morvane-extract", lambda f, o: [str(self.extractor), "--output", str(o),
                                                     str(f)], warmup, runs)

    def floor_tool(self, runs, warmup=3):
        return Tool("floor (libgsf copy)", lambda f, o: [str(self.floor), str(f), str(o)],
                    warmup, runs)

    def poi(self, kind, runs, warmup=1):
        label = "POI HSLF" if kind == "ppt" else "POI openxml4j"
        return Tool(label, lambda f, o: [*self.java, kind, str(f), str(o)], warmup, runs)

    def office(self, runs, warmup=1):
        return Tool("LibreOffice --convert-to odp",
                    lambda f, o: [self.soffice, f"-env:UserInstallation={self.profile.as_uri()}",
                                  "--headless", "--convert-to", "odp", "--outdir", str(o), str(f)],
                    warmup, runs)


def build_floor(workdir):
    """Compiles floor.c with the system's cc against libgsf-1."""
    cc = shutil.which("cc")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "libgsf-1"], capture_output=True,
                           text=True)
    if not cc or flags.returncode != 0:
        return None, "needs cc, pkg-config and libgsf-1-dev"
    target = workdir / "floor"
    done = subprocess.run([cc, "-O2", "-o", str(target), str(HERE / "floor.c"),
                           *flags.stdout.split()], capture_output=True, text=True)
    if done.returncode != 0:
        return None, f"cc failed: {done.stderr.strip()[:300]}"
    return target, None


def build_c_helper(name, workdir):
    """Compiles one of the benchmark's small C helpers (no libraries)."""
    cc = shutil.which("cc")
    target = workdir / Path(name).stem
    if not cc or subprocess.run([cc, "-O2", "-o", str(target), str(HERE / name)]).returncode:
        log(f"  cannot compile {name}: peak memory is read as the benchmark script's")
        return None
    return target


def build_poi(workdir, jar_folder=Path("/usr/share/java")):
    """Compiles PoiExtract.java against Debian's POI jars; returns the java
    command line up to the class name."""
    javac, java = shutil.which("javac"), shutil.which("java")
    jars = [jar_folder / f"{name}.jar" for name in JAVA_JARS]
    missing = [j.name for j in jars if not j.exists()]
    if not javac or not java:
        return None, "needs a JDK (default-jdk-headless)"
    if missing:
        return None, f"needs libapache-poi-java ({', '.join(missing)} missing)"
    classes = workdir / "classes"
    classes.mkdir(exist_ok=True)
    classpath = ":".join(str(j) for j in jars)
    done = subprocess.run([javac, "-nowarn", "-d", str(classes), "-cp", classpath,
                           str(HERE / "PoiExtract.java")], capture_output=True, text=True)
    if done.returncode != 0:
        return None, f"javac failed: {done.stderr.strip()[:300]}"
    return [java, "-cp", f"{classes}:{classpath}", "PoiExtract"], None


def prepare_tools(extractor, workdir, want_poi, want_office):
    tools = Tools(extractor)
    tools.floor, why = build_floor(workdir)
    if why:
        tools.missing["floor"] = why
    if want_poi:
        tools.java, why = build_poi(workdir)
        if why:
            tools.missing["POI"] = why
    else:
        tools.missing["POI"] = "not asked for (--no-poi)"
    tools.soffice = shutil.which("soffice") if want_office else None
    if tools.soffice:
        tools.profile = workdir / "office-profile"
    else:
        tools.missing["LibreOffice"] = ("not asked for (--no-office)" if not want_office else
                                        "needs soffice (libreoffice-impress)")
    for tool, why in tools.missing.items():
        log(f"  {tool}: not measured, {why}")
    return tools


def warm_office(tools, deck, workdir):
    """LibreOffice's first start creates its profile (many seconds); not timed."""
    if not tools.soffice:
        return
    log("  LibreOffice: creating its profile (not timed)")
    out = workdir / "office-warm"
    out.mkdir(exist_ok=True)
    subprocess.run(tools.office(1).argv(deck, out), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600)


def count_outputs(folder):
    return sum(1 for _ in folder.rglob("*") if _.is_file())


def hyperfine(tool, file, workdir, ignore_failure=False):
    """Times tool on file: each run writes into an emptied folder."""
    out = Path(tempfile.mkdtemp(prefix="out-", dir=workdir))
    report = out.with_suffix(".json")
    argv = tool.argv(file, out)
    prepare = f"sh -c {shlex.quote(f'rm -rf {shlex.quote(str(out))} && mkdir {shlex.quote(str(out))}')}"
    cmd = ["hyperfine", "-N", "--style", "none", "--warmup", str(tool.warmup), "--runs",
           str(tool.runs), "--prepare", prepare, "--export-json", str(report),
           f"--command-name={tool.name}", shlex.join(argv)]
    if ignore_failure:
        cmd.insert(1, "-i")
    load_before = os.getloadavg()[0]
    done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    load_after = os.getloadavg()[0]
    if done.returncode != 0:
        log(f"    {tool.name} on {file.name}: hyperfine failed: {done.stderr.strip()[-300:]}")
        shutil.rmtree(out, ignore_errors=True)
        return None
    [result] = json.loads(report.read_text())["results"]
    codes = result.get("exit_codes") or []
    timing = Timing([t * 1000 for t in result["times"]], result["user"] * 1000,
                    result["system"] * 1000, count_outputs(out),
                    sum(1 for c in codes if c != 0), (load_before, load_after))
    shutil.rmtree(out, ignore_errors=True)
    report.unlink()
    return timing


def fmt_ms(value):
    if value is None:
        return "-"
    return f"{value:.0f}" if value >= 100 else f"{value:.1f}"


def spread(timing):
    low, high = timing.quartiles
    return f"{fmt_ms(low)}–{fmt_ms(high)}"


def ratio_text(value, goal, better_when_high=True):
    if value is None:
        return "-"
    met = value >= goal if better_when_high else value <= goal
    return f"{value:.1f}× ({'met' if met else 'missed'})"


# ---------------------------------------------------------------------------
# Per file, process start included


def side_by_side(decks, tools, workdir, runs, slow_runs, kind="ppt"):
    """Times every tool on every deck. decks: (label, path, pictures)."""
    rows = []
    for label, path, pictures in decks:
        candidates = []
        if tools.extractor:
            candidates.append(tools.morvane(runs))
        if kind == "ppt" and tools.floor:
            candidates.append(tools.floor_tool(runs))
        if tools.java:
            candidates.append(tools.poi(kind, slow_runs))
        if tools.soffice:
            candidates.append(tools.office(max(3, slow_runs // 2)))
        row = {"deck": label, "path": path, "pictures": pictures, "timings": {}}
        for tool in candidates:
            timing = hyperfine(tool, path, workdir, ignore_failure=True)
            if timing:
                row["timings"][tool.name] = timing
                log(f"    {label}: {tool.name} {fmt_ms(timing.median)} ms "
                    f"(load {timing.load[0]:.1f}→{timing.load[1]:.1f})")
        rows.append(row)
    return rows


def per_file_table(rows, tool_names):
    head = "| Deck | Pictures | " + " | ".join(f"{t}: median ms (IQR), CPU ms, files written"
                                                for t in tool_names) + " | Load |"
    lines = [head, "|---|---:|" + "---:|" * len(tool_names) + "---|"]
    for row in rows:
        cells = []
        loads = []
        for name in tool_names:
            t = row["timings"].get(name)
            if not t:
                cells.append("-")
                continue
            failed = f", {t.failed_runs} runs failed" if t.failed_runs else ""
            cells.append(f"{fmt_ms(t.median)} ({spread(t)}), {fmt_ms(t.cpu_ms)}, "
                         f"{t.outputs} files{failed}")
            loads.extend(t.load)
        load = f"{min(loads):.1f}–{max(loads):.1f}" if loads else "-"
        lines.append(f"| {row['deck']} | {row['pictures']} | " + " | ".join(cells) + f" | {load} |")
    return lines


def ratios(row, num, den):
    """The ratio of two tools' median wall times on a deck, and of their CPU times."""
    a, b = row["timings"].get(num), row["timings"].get(den)
    if not a or not b:
        return None, None
    return a.median / b.median, a.cpu_ms / b.cpu_ms


def goals_table(rows, goals):
    """goals: (label, numerator tool, denominator tool, goal, better_when_high).
    Each cell: the ratio of median wall times (against the goal), then the
    ratio of CPU times."""
    lines = ["| Deck | " + " | ".join(f"{g[0]}: wall (CPU)" for g in goals) + " |",
             "|---|" + "---:|" * len(goals)]
    per_goal = {g[0]: ([], []) for g in goals}
    for row in rows:
        cells = []
        for label, num, den, goal, high in goals:
            wall, cpu = ratios(row, num, den)
            if wall is not None:
                per_goal[label][0].append(wall)
                per_goal[label][1].append(cpu)
                cells.append(f"{ratio_text(wall, goal, high)} ({cpu:.1f}×)")
            else:
                cells.append("-")
        lines.append(f"| {row['deck']} | " + " | ".join(cells) + " |")
    summary = []
    for label, _, _, goal, high in goals:
        walls, cpus = per_goal[label]
        summary.append(f"{ratio_text(statistics.median(walls), goal, high)} "
                       f"({statistics.median(cpus):.1f}×)" if walls else "-")
    lines.append("| **median over the decks** | " + " | ".join(summary) + " |")
    return lines


# ---------------------------------------------------------------------------
# Many decks in one process; --jobs


def batch(tools, deck, count, workdir, runs):
    """morvane-extract with `count` copies of deck in one call, against one deck."""
    folder = workdir / "batch"
    folder.mkdir(exist_ok=True)
    files = []
    for n in range(1, count + 1):
        copy = folder / f"deck{n:03d}.ppt"
        shutil.copyfile(deck, copy)
        files.append(copy)
    many = Tool(f"{count} decks in one call",
                lambda f, o: [str(tools.extractor), "--output", str(o), *map(str, files)], 2, runs)
    one = Tool("one deck", lambda f, o: [str(tools.extractor), "--output", str(o), str(files[0])],
               3, runs)
    return hyperfine(many, deck, workdir), hyperfine(one, deck, workdir)


def jobs(tools, files, workdir, runs):
    """The corpus in one call with --jobs 1 and with --jobs 2."""
    results = {}
    for n in (1, 2):
        tool = Tool(f"--jobs {n}", lambda f, o, n=n: [str(tools.extractor), "--quiet", "--jobs",
                                                      str(n), "--output", str(o), *map(str, files)],
                    1, runs)
        results[n] = hyperfine(tool, files[0], workdir, ignore_failure=True)
        if results[n]:
            log(f"    --jobs {n}: {fmt_ms(results[n].median)} ms")
    return results


# ---------------------------------------------------------------------------
# Counting: instructions (callgrind) and system calls (strace)


def callgrind_instructions(argv, workdir):
    if not shutil.which("valgrind"):
        return None
    out = workdir / "callgrind.out"
    done = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                           *argv], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in done.stderr.splitlines():
        if "Collected" in line:
            out.unlink(missing_ok=True)
            return int(line.rsplit(":", 1)[1].replace(",", "").strip())
    out.unlink(missing_ok=True)
    return None


def callgrind_per_process(argv, workdir):
    """Instructions of each process of argv (valgrind follows fork), parent first."""
    if not shutil.which("valgrind"):
        return []
    done = subprocess.run(["valgrind", "--tool=callgrind",
                           f"--callgrind-out-file={workdir}/callgrind.%p", *argv],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for leftover in workdir.glob("callgrind.*"):
        leftover.unlink()
    totals = []
    for line in done.stderr.splitlines():
        if "Collected" in line:
            pid = int(line.split("==")[1])
            totals.append((pid, int(line.rsplit(":", 1)[1].replace(",", "").strip())))
    return [count for _, count in sorted(totals)]


SPIN_C = """int main(void) {
  volatile unsigned long sum = 0;
  for (unsigned long i = 0; i < 150000000UL; ++i) sum += i;
  return sum == 1;
}
"""


def parallel_capacity(workdir, runs):
    """What the machine offers two CPU-bound processes at the moment: the
    throughput of two copies of a busy loop at once against one (2.0 on two
    free cores)."""
    source, spin = workdir / "spin.c", workdir / "spin"
    source.write_text(SPIN_C)
    if subprocess.run(["cc", "-O1", "-o", str(spin), str(source)]).returncode != 0:
        return None
    one = hyperfine(Tool("one busy loop", lambda f, o: [str(spin)], 1, runs), source, workdir)
    two = hyperfine(Tool("two busy loops at once", lambda f, o: [
        "sh", "-c", f"{shlex.quote(str(spin))} & {shlex.quote(str(spin))} & wait"], 1, runs),
        source, workdir)
    return 2 * one.median / two.median if one and two else None


def jobs_instructions(tools, files, workdir):
    """Instructions of --jobs 1 and of each process of --jobs 2: how the work
    divides between the two workers, whatever the load."""
    counts = {}
    for n in (1, 2):
        out = Path(tempfile.mkdtemp(prefix="count-", dir=workdir))
        counts[n] = callgrind_per_process([str(tools.extractor), "--quiet", "--jobs", str(n),
                                           "--output", str(out), *map(str, files)], workdir)
        shutil.rmtree(out)
    return counts


def syscall_count(argv, workdir):
    if not shutil.which("strace"):
        return None
    out = workdir / "strace.txt"
    subprocess.run(["strace", "-f", "-c", "-o", str(out), *argv], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    total = None
    for line in out.read_text().splitlines():
        if line.strip().endswith("total"):
            total = int(line.split()[3])
    out.unlink(missing_ok=True)
    return total


def counts(decks, tools, workdir):
    """Instructions and system calls of morvane-extract and of the floor
    program on each deck: independent of the machine's load."""
    rows = []
    for label, path, _ in decks:
        row = {"deck": label}
        for name, make in (("morvane", tools.morvane(1).argv), ("floor", tools.floor_tool(1).argv)):
            if name == "floor" and not tools.floor:
                continue
            out = Path(tempfile.mkdtemp(prefix="count-", dir=workdir))
            row[f"{name} Ir"] = callgrind_instructions(make(path, out), workdir)
            shutil.rmtree(out)
            out.mkdir()
            row[f"{name} syscalls"] = syscall_count(make(path, out), workdir)
            shutil.rmtree(out)
        log(f"    {label}: {row}")
        rows.append(row)
    return rows


def counts_table(rows):
    lines = ["| Deck | morvane-extract instructions | floor instructions | ratio "
             "| morvane-extract system calls | floor system calls |",
             "|---|---:|---:|---:|---:|---:|"]
    for r in rows:
        a, b = r.get("morvane Ir"), r.get("floor Ir")
        ratio = f"{a / b:.1f}×" if a and b else "-"
        lines.append(f"| {r['deck']} | {a / 1e6:.1f} M | {b / 1e6:.2f} M | {ratio} "
                     f"| {r.get('morvane syscalls', '-')} | {r.get('floor syscalls', '-')} |"
                     if a and b else f"| {r['deck']} | - | - | - | - | - |")
    return lines


# ---------------------------------------------------------------------------
# Start-up: what loading the libraries costs before any work


def needed_libraries(program):
    """The DT_NEEDED entries of program, without the C library and the loader."""
    done = subprocess.run(["readelf", "-d", str(program)], capture_output=True, text=True)
    names = [line.split("[", 1)[1].rstrip("]") for line in done.stdout.splitlines()
             if "(NEEDED)" in line]
    return [n for n in names if not n.startswith(("libc.so", "ld-linux"))]


def loaded_count(program):
    done = subprocess.run(["ldd", str(program)], capture_output=True, text=True)
    return sum(1 for line in done.stdout.splitlines() if "=>" in line or line.strip().startswith("/"))


def empty_program(name, libraries, workdir):
    """A program that returns at once, linked to libraries (sonames)."""
    source = workdir / "empty.c"
    source.write_text("int main(void) { return 0; }\n")
    target = workdir / name
    done = subprocess.run(["cc", "-O2", "-o", str(target), str(source), "-Wl,--no-as-needed",
                           *[f"-l:{lib}" for lib in libraries]], capture_output=True, text=True)
    if done.returncode != 0:
        log(f"    cannot link {name}: {done.stderr.strip()[:300]}")
        return None
    return target


def startup(tools, deck, workdir, runs):
    """Empty programs linked like morvane-extract, without QtGui, and like the
    floor program, beside the two real programs on a one-picture deck."""
    needed = needed_libraries(tools.extractor)
    programs = [("morvane-extract on the deck", tools.morvane(runs).argv, tools.extractor)]
    variants = [("empty program, morvane-extract's libraries", "empty-like-morvane", needed),
                ("the same without libQt6Gui", "empty-without-qtgui",
                 [n for n in needed if not n.startswith("libQt6Gui")])]
    if tools.floor:
        programs.append(("floor program on the deck", tools.floor_tool(runs).argv, tools.floor))
        variants.append(("empty program, the floor's libraries", "empty-like-floor",
                         needed_libraries(tools.floor)))
    for label, name, libraries in variants:
        target = empty_program(name, libraries, workdir)
        if target:
            programs.append((label, lambda f, o, t=target: [str(t)], target))
    rows = []
    for label, argv, binary in programs:
        tool = Tool(label, argv, 3, runs)
        timing = hyperfine(tool, deck, workdir)
        out = Path(tempfile.mkdtemp(prefix="count-", dir=workdir))
        instructions = callgrind_instructions(argv(deck, out), workdir)
        shutil.rmtree(out)
        rows.append((label, loaded_count(binary), instructions, timing))
        log(f"    {label}: {instructions} instructions")
    return rows


def startup_table(rows):
    lines = ["| Program | Libraries loaded | Instructions | Median ms (IQR) | CPU ms |",
             "|---|---:|---:|---:|---:|"]
    for label, libraries, instructions, t in rows:
        count = f"{instructions / 1e6:.1f} M" if instructions else "-"
        wall = f"{fmt_ms(t.median)} ({spread(t)})" if t else "-"
        lines.append(f"| {label} | {libraries} | {count} | {wall} | "
                     f"{fmt_ms(t.cpu_ms) if t else '-'} |")
    return lines
