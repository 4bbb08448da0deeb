#!/usr/bin/env python3
"""Times morvane-extract (pictures-only job) over a folder of presentations
and, when installed, LibreOffice converting the same files; then generated
decks of growing size. Writes a Markdown report. Standard library only.

Every run works on a fresh copy of the file in a temporary folder (the
extractor writes its output beside the file), and is timed from process
start to exit. Peak memory is the largest resident set size of the process
and the children it waited for, as the kernel reports it on exit (wait4).
"""

import argparse
import json
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path


@dataclass
class Run:
    seconds: float
    peak_kb: int
    status: str  # "ok", "exit N", "signal N", "timeout", "no output"
    outputs: int = 0
    largest_output_kb: int = 0


@dataclass
class Result:
    name: str
    size: int
    runs: list = field(default_factory=list)

    def median_ms(self):
        return statistics.median(r.seconds for r in self.runs) * 1000 if self.runs else None

    def peak_mb(self):
        return max(r.peak_kb for r in self.runs) / 1024 if self.runs else None

    def status(self):
        states = sorted({r.status for r in self.runs})
        return "/".join(states) if states else "-"

    def outputs(self):
        return self.runs[-1].outputs if self.runs else 0

    def largest_output_kb(self):
        return self.runs[-1].largest_output_kb if self.runs else 0


def log(message):
    print(message, file=sys.stderr, flush=True)


def measure(cmd, cwd, timeout):
    """Runs cmd and returns its wall time, peak memory and exit status."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    timed_out = threading.Event()

    def kill():
        timed_out.set()
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    timer = threading.Timer(timeout, kill)
    timer.start()
    try:
        _, wait_status, usage = os.wait4(proc.pid, 0)
    finally:
        timer.cancel()
    seconds = time.perf_counter() - start
    proc.returncode = 0  # reaped by wait4; keep Popen from waiting again
    if timed_out.is_set():
        status = "timeout"
    elif os.WIFSIGNALED(wait_status):
        status = f"signal {os.WTERMSIG(wait_status)}"
    elif os.WEXITSTATUS(wait_status) != 0:
        status = f"exit {os.WEXITSTATUS(wait_status)}"
    else:
        status = "ok"
    return Run(seconds, usage.ru_maxrss, status)


def in_fresh_folder(source, action):
    """Copies source into a new temporary folder and runs action(copy)."""
    folder = tempfile.mkdtemp(prefix="morvane-bench-")
    try:
        copy = Path(folder) / source.name
        shutil.copyfile(source, copy)
        return action(copy)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def extract_once(extractor, source, timeout):
    def action(copy):
        run = measure([str(extractor), str(copy)], copy.parent, timeout)
        outputs = [p for p in copy.parent.iterdir() if p.name.startswith(("Img", "Graph"))]
        run.outputs = len(outputs)
        run.largest_output_kb = max((p.stat().st_size for p in outputs), default=0) // 1024
        return run
    return in_fresh_folder(source, action)


def office_once(soffice, profile, source, timeout):
    def action(copy):
        cmd = [soffice, f"-env:UserInstallation={profile.as_uri()}", "--headless",
               "--convert-to", "odp", "--outdir", str(copy.parent), str(copy)]
        run = measure(cmd, copy.parent, timeout)
        if run.status == "ok" and not copy.with_suffix(".odp").exists():
            run.status = "no output"
        return run
    return in_fresh_folder(source, action)


def bench_files(files, runs, once):
    results = []
    for i, path in enumerate(files, 1):
        result = Result(path.name, path.stat().st_size)
        for _ in range(runs):
            result.runs.append(once(path))
        log(f"  [{i}/{len(files)}] {path.name}: {result.median_ms():.1f} ms, "
            f"{result.peak_mb():.1f} MB, {result.status()}")
        results.append(result)
    return results


# Decks for the growth measurement: (name, pptgen arguments, pictures).
DECKS = [
    ("deck-10-slides.ppt", ["--slides", "10", "--pictures", "1", "--size", "640x480",
                            "--text", "Slide %n"], 10),
    ("deck-100-slides.ppt", ["--slides", "100", "--pictures", "1", "--size", "640x480",
                             "--text", "Slide %n"], 100),
    ("deck-1000-slides.ppt", ["--slides", "1000", "--pictures", "1", "--size", "640x480",
                              "--text", "Slide %n"], 1000),
    ("deck-100-png-on-10-slides.ppt", ["--slides", "10", "--pictures", "10", "--format", "png",
                                       "--size", "320x240"], 100),
    ("deck-20-large-pictures.ppt", ["--slides", "20", "--pictures", "1", "--size", "4000x3000"],
     20),
]


def make_decks(pptgen, folder):
    made = []
    for name, args, pictures in DECKS:
        path = folder / name
        done = subprocess.run([str(pptgen), *args, str(path)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            log(f"  cannot make {name}: {done.stderr.strip()}")
            continue
        made.append((path, pictures))
    return made


def save_results(results, path):
    data = [{"name": r.name, "size": r.size,
             "runs": [[run.seconds, run.peak_kb, run.status] for run in r.runs]} for r in results]
    path.write_text(json.dumps(data, indent=1))


def load_results(path):
    results = []
    for item in json.loads(path.read_text()):
        result = Result(item["name"], item["size"])
        result.runs = [Run(seconds, peak_kb, status) for seconds, peak_kb, status in item["runs"]]
        results.append(result)
    return results


def fmt(value, digits=1):
    return "-" if value is None else f"{value:.{digits}f}"


def corpus_table(extract, office):
    by_name = {r.name: r for r in office}
    lines = ["| File | KB | Morvane ms | Morvane MB | Morvane status | Img+Graph files "
             "| Largest output KB | LibreOffice ms | LibreOffice MB | LibreOffice status "
             "| Time ratio |",
             "|---|---:|---:|---:|---|---:|---:|---:|---:|---|---:|"]
    for r in extract:
        o = by_name.get(r.name)
        ratio = o.median_ms() / r.median_ms() if o and r.median_ms() else None
        lines.append(f"| {r.name} | {r.size // 1024} | {fmt(r.median_ms())} | {fmt(r.peak_mb())} "
                     f"| {r.status()} | {r.outputs()} | {r.largest_output_kb()} "
                     f"| {fmt(o.median_ms() if o else None, 0)} "
                     f"| {fmt(o.peak_mb() if o else None)} | {o.status() if o else '-'} "
                     f"| {fmt(ratio, 0)} |")
    return lines


def summary(extract, office):
    lines = ["| | Median time per file | Peak memory, median | Peak memory, largest |",
             "|---|---:|---:|---:|"]
    for label, results in (("Morvane (pictures-only job)", extract),
                           ("LibreOffice (--convert-to odp)", office)):
        if not results:
            continue
        lines.append(f"| {label} | {statistics.median(r.median_ms() for r in results):.1f} ms "
                     f"| {statistics.median(r.peak_mb() for r in results):.1f} MB "
                     f"| {max(r.peak_mb() for r in results):.1f} MB |")
    by_name = {r.name: r for r in office}
    ratios = [by_name[r.name].median_ms() / r.median_ms()
              for r in extract if r.name in by_name and r.median_ms()]
    if ratios:
        lines.append("")
        lines.append(f"Median of the per-file time ratios (LibreOffice / Morvane): "
                     f"{statistics.median(ratios):.0f}")
    ok = sum(1 for r in extract if r.status() == "ok")
    lines.append("")
    lines.append(f"Morvane finished {ok} of {len(extract)} files with exit status 0 "
                 "(the others ended with one \"Error:\" line, exit 1, or as the status says).")
    return lines


def deck_table(results):
    lines = ["| Deck | Pictures | MB on disk | Median ms | ms per picture | Peak MB | Status "
             "| Img files |",
             "|---|---:|---:|---:|---:|---:|---|---:|"]
    for r, pictures in results:
        per = r.median_ms() / pictures if r.median_ms() is not None else None
        lines.append(f"| {r.name} | {pictures} | {r.size / 1e6:.1f} | {fmt(r.median_ms())} "
                     f"| {fmt(per, 2)} | {fmt(r.peak_mb())} | {r.status()} | {r.outputs()} |")
    return lines


def machine_lines(args, soffice, office_runs, started, load):
    cpu = "unknown"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    commit = subprocess.run(["git", "-C", str(Path(__file__).parent), "describe", "--always",
                             "--dirty"], capture_output=True, text=True).stdout.strip()
    office = "not installed"
    if args.office_from:
        office = f"timings from {args.office_from.name}, measured earlier on this machine"
    elif soffice:
        office = subprocess.run([soffice, "--version"], capture_output=True,
                                text=True).stdout.strip() or "installed"
    return [f"- Date: {time.strftime('%Y-%m-%d %H:%M UTC', started)}",
            f"- Machine: {platform.system()} {platform.release()}, {cpu}, {os.cpu_count()} cores, "
            f"load average at start {load:.2f}",
            f"- Morvane: {commit or 'unknown commit'} ({args.build}/morvane-extract)",
            f"- LibreOffice: {office}",
            f"- Runs per file: Morvane {args.runs} (median), LibreOffice {office_runs} "
            "(median), each a new process on a fresh copy of the file"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--corpus", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--office-runs", type=int, default=3)
    parser.add_argument("--no-office", action="store_true")
    parser.add_argument("--no-decks", action="store_true")
    parser.add_argument("--limit", type=int, default=0, help="only the first N corpus files")
    parser.add_argument("--timeout", type=float, default=120)
    parser.add_argument("--save-office", type=Path, help="keep LibreOffice's timings in FILE")
    parser.add_argument("--office-from", type=Path,
                        help="take LibreOffice's timings from FILE instead of measuring")
    args = parser.parse_args()

    extractor = args.build / "morvane-extract"
    if not os.access(extractor, os.X_OK):
        sys.exit(f"bench: {extractor} is not built")
    soffice = None if args.no_office else shutil.which("soffice")
    files = sorted(p for p in args.corpus.glob("*") if p.is_file()) if args.corpus.is_dir() else []
    if args.limit:
        files = files[:args.limit]

    args.corpus = args.corpus.resolve()
    started, load = time.gmtime(), os.getloadavg()[0]
    report = []
    log(f"Morvane on {len(files)} corpus files")
    extract = bench_files(files, args.runs, lambda p: extract_once(extractor, p, args.timeout))
    office = []
    if args.office_from:
        office = load_results(args.office_from)
        soffice = soffice or "(timings from an earlier run)"
        log(f"LibreOffice timings taken from {args.office_from}")
    elif soffice and files:
        with tempfile.TemporaryDirectory(prefix="morvane-bench-office-") as profile:
            profile = Path(profile)
            log("LibreOffice: creating its profile (not timed)")
            office_once(soffice, profile, files[0], args.timeout * 3)
            log(f"LibreOffice on {len(files)} corpus files")
            office = bench_files(files, args.office_runs,
                                 lambda p: office_once(soffice, profile, p, args.timeout))
        if args.save_office:
            save_results(office, args.save_office)
    if files:
        report += ["## Corpus", "", f"{len(files)} files of {args.corpus}.", "",
                   *summary(extract, office), "", *corpus_table(extract, office), ""]

    pptgen = args.build / "morvane-pptgen"
    if not args.no_decks and os.access(pptgen, os.X_OK):
        with tempfile.TemporaryDirectory(prefix="morvane-bench-decks-") as folder:
            log("Generating decks")
            decks = make_decks(pptgen, Path(folder))
            results = []
            for path, pictures in decks:
                [r] = bench_files([path], args.runs,
                                  lambda p: extract_once(extractor, p, args.timeout * 5))
                results.append((r, pictures))
        report += ["## Generated decks", "",
                   "Made by morvane-pptgen: one 640x480 JPEG picture and one text box per slide, "
                   "a deck of 100 PNG pictures, and a deck of 20 JPEG pictures of 4000x3000 "
                   "pixels. Time and memory should grow in step with the number of pictures; "
                   "memory should stay near the baseline plus the largest picture.", "",
                   *deck_table(results), ""]

    office_runs = len(office[0].runs) if office else args.office_runs
    report = ["# Benchmark results", "", *machine_lines(args, soffice, office_runs, started, load),
              "", *report]
    args.out.write_text("\n".join(report))
    log(f"Wrote {args.out}")


if __name__ == "__main__":
    main()
