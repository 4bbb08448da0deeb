#!/usr/bin/env python3
"""Times morvane-extract side by side with the alternatives and writes a
Markdown report. Standard library only; the tools it compares with are
measured when installed (see bench/README.md).

Parts (--parts): jpeg (generated JPEG-only .ppt decks: Morvane, the floor
program, Apache POI, LibreOffice; hyperfine), batch (many decks in one
call), jobs (--jobs 2 against --jobs 1 over the corpus), counts
(instructions and system calls against the floor program), startup (empty
programs linked to the same libraries), pptx (.pptx
decks: Morvane, POI's package layer, LibreOffice), corpus (every corpus
file with peak memory) and decks (generated decks of growing size).

Corpus runs work on a fresh copy of the file in a temporary folder and are
timed from process start to exit. Peak memory is the largest resident set
size of the process and the children it waited for, as the kernel reports
it on exit (wait4), taken by a small helper (peakrss.c) that starts it.
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

import pptxdeck
import sidebyside


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


# peakrss (bench/peakrss.c), compiled at start; without it the peak memory
# of a small program reads as this script's own resident size.
PEAKRSS = None


def measure(cmd, cwd, timeout):
    """Runs cmd and returns its wall time, peak memory and exit status."""
    peak_file = Path(cwd) / ".peakrss"
    if PEAKRSS:
        cmd = [str(PEAKRSS), str(peak_file), *cmd]
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
    peak_kb = usage.ru_maxrss
    if PEAKRSS:
        try:
            peak_kb = int(peak_file.read_text())
            peak_file.unlink()
        except (OSError, ValueError):
            peak_kb = 0
    code = os.WEXITSTATUS(wait_status) if os.WIFEXITED(wait_status) else 0
    if timed_out.is_set():
        status = "timeout"
    elif os.WIFSIGNALED(wait_status):
        status = f"signal {os.WTERMSIG(wait_status)}"
    elif PEAKRSS and code > 128:
        status = f"signal {code - 128}"
    elif code != 0:
        status = f"exit {code}"
    else:
        status = "ok"
    return Run(seconds, peak_kb, status)


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


def tool_once(argv, source, timeout):
    """Runs argv(source, out) with an empty output folder; counts what it wrote."""
    def action(copy):
        out = copy.parent / "out"
        out.mkdir()
        run = measure(argv(copy, out), copy.parent, timeout)
        written = [p for p in out.rglob("*") if p.is_file()]
        run.outputs = len(written)
        run.largest_output_kb = max((p.stat().st_size for p in written), default=0) // 1024
        return run
    return in_fresh_folder(source, action)


def office_once(soffice, profile, source, timeout):
    def action(copy):
        cmd = [soffice, f"-env:UserInstallation={profile.as_uri()}", "--headless",
               "--convert-to", "odp", "--outdir", str(copy.parent), str(copy)]
        run = measure(cmd, copy.parent, timeout)
        if copy.with_suffix(".odp").exists():
            run.outputs = 1
        elif run.status == "ok":
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


# ---------------------------------------------------------------------------
# Corpus: every file, one process per file per tool, with peak memory


def corpus_table(results, reference):
    """results: tool label -> [Result], in the same file order."""
    labels = list(results)
    others = [label for label in labels if label != reference]
    by_name = {label: {r.name: r for r in results[label]} for label in labels}
    head = ("| File | KB | " + " | ".join(f"{label} ms | {label} MB | {label} status | {label} files"
                                           for label in labels)
            + "".join(f" | {label} / {reference}" for label in others) + " |")
    lines = [head, "|---|---:|" + "---:|---:|---|---:|" * len(labels) + "---:|" * len(others)]
    for r in results[reference]:
        cells = [r.name, str(r.size // 1024)]
        for label in labels:
            o = by_name[label].get(r.name)
            cells += [fmt(o.median_ms() if o else None, 1 if label == reference else 0),
                      fmt(o.peak_mb() if o else None), o.status() if o else "-",
                      str(o.outputs()) if o else "-"]
        for label in others:
            o = by_name[label].get(r.name)
            ratio = o.median_ms() / r.median_ms() if o and r.median_ms() else None
            cells.append(fmt(ratio, 0))
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def corpus_summary(results, reference):
    lines = ["| | Median time per file | Peak memory, median | Peak memory, largest "
             f"| Median of per-file time ratios to {reference} |",
             "|---|---:|---:|---:|---:|"]
    ref = {r.name: r for r in results[reference]}
    for label, rows in results.items():
        if not rows:
            continue
        ratios = [r.median_ms() / ref[r.name].median_ms() for r in rows
                  if r.name in ref and ref[r.name].median_ms()]
        lines.append(f"| {label} | {statistics.median(r.median_ms() for r in rows):.1f} ms "
                     f"| {statistics.median(r.peak_mb() for r in rows):.1f} MB "
                     f"| {max(r.peak_mb() for r in rows):.1f} MB "
                     f"| {statistics.median(ratios):.1f} |")
    ok = sum(1 for r in results[reference] if r.status() == "ok")
    lines += ["", f"{reference} finished {ok} of {len(results[reference])} files with exit status 0 "
              "(the others ended with one \"Error:\" line, exit 1, or as the status says)."]
    return lines


def run_corpus(args, files, tools, label, kind):
    """Times morvane-extract, the floor program (.ppt), POI and LibreOffice on
    every corpus file."""
    results = {}
    if tools.extractor:
        log(f"{label}: morvane-extract on {len(files)} files")
        results["Morvane"] = bench_files(files, args.runs, lambda p: extract_once(
            tools.extractor, p, args.timeout))
    if kind == "ppt" and tools.floor:
        log(f"{label}: floor program on {len(files)} files")
        results["Floor"] = bench_files(files, args.runs, lambda p: tool_once(
            tools.floor_tool(1).argv, p, args.timeout))
    if tools.java:
        log(f"{label}: POI on {len(files)} files")
        results["POI"] = bench_files(files, args.poi_runs, lambda p: tool_once(
            tools.poi(kind, 1).argv, p, args.timeout))
    office_cache = args.office_from if kind == "ppt" else None
    if office_cache:
        results["LibreOffice"] = load_results(office_cache)
        log(f"LibreOffice timings taken from {office_cache}")
    elif tools.soffice:
        log(f"{label}: LibreOffice on {len(files)} files")
        results["LibreOffice"] = bench_files(files, args.office_runs, lambda p: office_once(
            tools.soffice, tools.profile, p, args.timeout))
        if args.save_office and kind == "ppt":
            save_results(results["LibreOffice"], args.save_office)
    return results


def corpus_section(title, folder, results, note):
    if not results:
        return []
    reference = next(iter(results))
    return [f"## {title}", "", f"{len(next(iter(results.values())))} files of {folder}. {note}", "",
            *corpus_summary(results, reference), "", *corpus_table(results, reference), ""]


# ---------------------------------------------------------------------------
# Generated decks


def deck_table(results):
    lines = ["| Deck | Pictures | MB on disk | Median ms | ms per picture | Peak MB | Status "
             "| Img files |",
             "|---|---:|---:|---:|---:|---:|---|---:|"]
    for r, pictures in results:
        per = r.median_ms() / pictures if r.median_ms() is not None else None
        lines.append(f"| {r.name} | {pictures} | {r.size / 1e6:.1f} | {fmt(r.median_ms())} "
                     f"| {fmt(per, 2)} | {fmt(r.peak_mb())} | {r.status()} | {r.outputs()} |")
    return lines


def growth_section(args, extractor, pptgen, workdir):
    folder = workdir / "growth"
    folder.mkdir()
    log("Generating decks of growing size")
    results = []
    for path, pictures in make_decks(pptgen, folder):
        [r] = bench_files([path], args.runs, lambda p: extract_once(extractor, p,
                                                                     args.timeout * 5))
        results.append((r, pictures))
    return ["## Generated decks of growing size", "",
            "Made by morvane-pptgen: one 640x480 JPEG picture and one text box per slide, "
            "a deck of 100 PNG pictures, and a deck of 20 JPEG pictures of 4000x3000 "
            "pixels. Time and memory should grow in step with the number of pictures; "
            "memory should stay near the baseline plus the largest picture.", "",
            *deck_table(results), ""]


# JPEG-only decks for the side-by-side timings: (label, slides, pictures per
# slide, picture size, pptgen text).
JPEG_DECKS = [
    ("1 slide, 1 picture 640×480", 1, 1, (640, 480), None),
    ("10 slides, 1 picture 640×480 each, a text box each", 10, 1, (640, 480), "Slide %n"),
    ("20 slides, 3 pictures 1024×768 each", 20, 3, (1024, 768), None),
    ("100 slides, 1 picture 320×240 each", 100, 1, (320, 240), None),
]


def make_jpeg_decks(pptgen, folder):
    decks = []
    for n, (label, slides, per_slide, size, text) in enumerate(JPEG_DECKS, 1):
        path = folder / f"jpeg{n}.ppt"
        argv = [str(pptgen), "--slides", str(slides), "--pictures", str(per_slide), "--size",
                f"{size[0]}x{size[1]}", "--format", "jpeg"]
        if text:
            argv += ["--text", text]
        done = subprocess.run([*argv, str(path)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            log(f"  cannot make {label}: {done.stderr.strip()}")
            continue
        decks.append((label, path, slides * per_slide))
    return decks


def make_pptx_decks(ppt_decks, tools, folder):
    """The same decks as .pptx: the JPEG pictures the floor program copies out
    of each .ppt deck, in frames of their own on the same number of slides."""
    if not tools.floor:
        return []
    decks = []
    for (label, path, pictures), spec in zip(ppt_decks, JPEG_DECKS):
        jpegs_folder = folder / f"{path.stem}-jpegs"
        jpegs_folder.mkdir()
        subprocess.run([str(tools.floor), str(path), str(jpegs_folder)], check=True)
        jpegs = [p.read_bytes() for p in sorted(jpegs_folder.glob("*.jpg"))]
        if not jpegs:
            continue
        target = folder / f"{path.stem}.pptx"
        pptxdeck.write_deck(target, jpegs, spec[1], spec[2], spec[3])
        decks.append((label.replace(", a text box each", ""), target, pictures))
    return decks


def morvane_reads_pptx(extractor, deck, workdir):
    """Whether morvane-extract takes the pictures out of a .pptx deck; if not,
    what it said."""
    out = workdir / "pptx-probe"
    out.mkdir(exist_ok=True)
    done = subprocess.run([str(extractor), "--output", str(out), str(deck)],
                          capture_output=True, text=True)
    written = list(out.glob("Img*"))
    shutil.rmtree(out)
    if done.returncode == 0 and written:
        return True, ""
    said = (done.stderr.strip() or done.stdout.strip()).splitlines()
    return False, said[-1] if said else f"exit status {done.returncode}, no pictures written"


PPT_GOALS = [("POI / Morvane (goal ≥ 14×)", "POI HSLF", "morvane-extract", 14, True),
             ("LibreOffice / Morvane (goal ≥ 50×)", "LibreOffice --convert-to odp",
              "morvane-extract", 50, True),
             ("Morvane / floor (goal ≤ 2.5×)", "morvane-extract", "floor (libgsf copy)", 2.5, False)]
PPTX_GOALS = [("POI / Morvane (goal ≥ 10×)", "POI openxml4j", "morvane-extract", 10, True),
              ("LibreOffice / Morvane (goal ≥ 50×)", "LibreOffice --convert-to odp",
               "morvane-extract", 50, True)]


def present(rows, names):
    return [n for n in names if any(n in row["timings"] for row in rows)]


def jpeg_section(args, tools, decks, workdir):
    log("JPEG-only .ppt decks, side by side")
    rows = sidebyside.side_by_side(decks, tools, workdir, args.hf_runs, args.slow_runs)
    names = present(rows, ["morvane-extract", "floor (libgsf copy)", "POI HSLF",
                           "LibreOffice --convert-to odp"])
    return rows, ["## JPEG-only .ppt decks, one process per file", "",
                  "Decks made by morvane-pptgen (JPEG pictures in picture frames). Each tool runs "
                  "as a new process per file, start-up included, writing into an emptied folder "
                  f"(hyperfine, {args.hf_runs} runs after 3 warm-ups for Morvane and the floor, "
                  f"{args.slow_runs} runs after 1 warm-up for POI, "
                  f"{max(3, args.slow_runs // 2)} for LibreOffice). "
                  "Median wall time with the interquartile range, and the mean CPU time "
                  "(user + system) of the process and its children. Load: the 1-minute load "
                  "average before and after each tool's runs.", "",
                  *sidebyside.per_file_table(rows, names), "",
                  *sidebyside.goals_table(rows, PPT_GOALS), ""]


def pptx_section(args, tools, decks, corpus_pptx, workdir):
    log(".pptx decks, side by side")
    lines = ["## .pptx decks, one process per file", ""]
    reads, said = morvane_reads_pptx(tools.extractor, decks[0][1], workdir) if decks else (
        False, "no deck")
    morvane = tools.extractor
    if not reads:
        lines += [f"morvane-extract does not read .pptx yet (it says: \"{said}\"); its columns "
                  "are left out. Re-run `bench/run.sh --parts pptx` once it does.", ""]
        tools.extractor = None
    rows = sidebyside.side_by_side(decks, tools, workdir, args.hf_runs, args.slow_runs, "pptx")
    names = present(rows, ["morvane-extract", "POI openxml4j", "LibreOffice --convert-to odp"])
    lines += ["Generated JPEG-only decks (the pictures of the .ppt decks above, written with "
              "Python's zipfile as PowerPoint stores them: media parts not deflated). POI follows "
              "the slides of the presentation part and each slide's image relationships and "
              "copies the media parts (openxml4j).", "",
              *sidebyside.per_file_table(rows, names), ""]
    if reads:
        lines += [*sidebyside.goals_table(rows, PPTX_GOALS), ""]
    if corpus_pptx:
        results = run_corpus(args, corpus_pptx, tools, ".pptx corpus", "pptx")
        lines += corpus_section(".pptx corpus, one process per file", args.corpus_pptx, results,
                                "Measured like the .ppt corpus below.")
    tools.extractor = morvane
    return rows, lines


def batch_section(args, tools, decks, workdir):
    label, deck, pictures = decks[0]
    log(f"{args.batch} decks in one call")
    many, one = sidebyside.batch(tools, deck, args.batch, workdir, args.hf_runs)
    if not many or not one:
        return None, []
    per_deck = many.median / args.batch
    extra = (many.median - one.median) / (args.batch - 1)
    return per_deck, [
        "## Many decks in one process", "",
        f"`morvane-extract --output OUT deck001.ppt … deck{args.batch:03d}.ppt`: {args.batch} "
        f"copies of the deck \"{label}\", each written into a folder of its own "
        f"(hyperfine, {args.hf_runs} runs).", "",
        "| | Median ms (IQR) | CPU ms | Files written | Load |", "|---|---:|---:|---:|---|",
        f"| {args.batch} decks in one call | {sidebyside.fmt_ms(many.median)} "
        f"({sidebyside.spread(many)}) | {sidebyside.fmt_ms(many.cpu_ms)} | {many.outputs} "
        f"| {many.load[0]:.1f}–{many.load[1]:.1f} |",
        f"| one deck | {sidebyside.fmt_ms(one.median)} ({sidebyside.spread(one)}) "
        f"| {sidebyside.fmt_ms(one.cpu_ms)} | {one.outputs} | {one.load[0]:.1f}–{one.load[1]:.1f} |",
        "", f"Per deck: {per_deck:.2f} ms in all (goal ≤ 2 ms: "
        f"{'met' if per_deck <= 2 else 'missed'}); each deck after the first adds {extra:.2f} ms.",
        ""]


def jobs_section(args, tools, files, corpus_results, workdir):
    log(f"--jobs 1 and --jobs 2 over {len(files)} corpus files")
    results = sidebyside.jobs(tools, files, workdir, args.jobs_runs)
    one, two = results.get(1), results.get(2)
    if not one or not two:
        return None, []
    speedup = one.median / two.median
    lines = ["## --jobs 2 against --jobs 1", "",
             f"`morvane-extract --quiet --jobs N --output OUT` with the {len(files)} files of "
             f"{args.corpus} in one call (hyperfine, {args.jobs_runs} runs after 1 warm-up).", "",
             "| | Median ms (IQR) | CPU ms | Files written | Load |", "|---|---:|---:|---:|---|"]
    for n, t in results.items():
        lines.append(f"| --jobs {n} | {sidebyside.fmt_ms(t.median)} ({sidebyside.spread(t)}) "
                     f"| {sidebyside.fmt_ms(t.cpu_ms)} | {t.outputs} "
                     f"| {t.load[0]:.1f}–{t.load[1]:.1f} |")
    lines += ["", f"Throughput of --jobs 2 against --jobs 1: {speedup:.2f}× (goal ≥ 1.7×: "
              f"{'met' if speedup >= 1.7 else 'missed'})."]
    morvane = corpus_results.get("Morvane") if corpus_results else None
    if morvane:
        times = sorted((r.median_ms() for r in morvane), reverse=True)
        bound = sum(times) / max(sum(times) / 2, times[0])
        lines += [f"From the per-file times of the corpus table below, two workers can at best "
                  f"reach {bound:.2f}× (the longest file takes {times[0]:.0f} ms of "
                  f"{sum(times):.0f} ms in all, each file in a process of its own)."]
    capacity = sidebyside.parallel_capacity(workdir, args.jobs_runs)
    if capacity:
        lines += [f"Right after, two copies of a CPU-bound loop ran at {capacity:.2f}× the "
                  "throughput of one (2.00 on two free cores): what the machine offered a second "
                  "process at that time."]
    counts = sidebyside.jobs_instructions(tools, files, workdir)
    one_count, processes = counts.get(1), counts.get(2)
    if one_count and len(processes) == 3:
        parent, workers = processes[0], processes[1:]
        expected = one_count[0] / (parent + max(workers))
        lines += ["", f"Instructions (callgrind, independent of the load): --jobs 1 "
                  f"{one_count[0] / 1e6:.0f} M; --jobs 2 {sum(processes) / 1e6:.0f} M in all: "
                  f"the parent {parent / 1e6:.0f} M, the workers "
                  f"{' and '.join(f'{w / 1e6:.0f} M' for w in workers)}. On two free cores "
                  f"--jobs 2 would then reach about {expected:.2f}× the throughput of --jobs 1 "
                  "(the parent's start-up, then the busier worker's share of the work)."]
        speedup_cpu = expected
    else:
        speedup_cpu = None
    return (speedup, speedup_cpu), lines + [""]


def counts_section(tools, decks, workdir):
    log("Counting instructions (callgrind) and system calls (strace)")
    rows = sidebyside.counts(decks, tools, workdir)
    return ["## Counts (independent of the machine's load)", "",
            "Instructions executed in user space (valgrind --tool=callgrind, the dynamic loader "
            "included, the kernel not) and system calls (strace -f -c), one run each.", "",
            *sidebyside.counts_table(rows), ""]


def startup_section(args, tools, decks, workdir):
    label, deck, _ = decks[0]
    log("Start-up: empty programs linked like morvane-extract and like the floor program")
    rows = sidebyside.startup(tools, deck, workdir, args.hf_runs)
    return ["## Start-up", "",
            "Programs that return at once, linked to the same shared libraries as "
            "morvane-extract (all of them, and all but libQt6Gui) and as the floor program, beside "
            f"the two real programs on the deck \"{label}\" (hyperfine, {args.hf_runs} runs; "
            "instructions counted by callgrind, the dynamic loader included). The difference "
            "between the first two empty programs is what loading QtGui and the libraries it "
            "pulls in costs every process.", "",
            *sidebyside.startup_table(rows), ""]


def goal_summary(ppt_rows, pptx_rows, per_deck, speedup):
    """The README table: each goal with the median over the JPEG-only decks."""
    lines = ["| Goal (2-core machine, process start included) | Wall time | CPU time (instructions) | |",
             "|---|---:|---:|---|"]
    for rows, goals, what in ((ppt_rows, PPT_GOALS, ".ppt"), (pptx_rows, PPTX_GOALS, ".pptx")):
        for label, num, den, goal, high in goals:
            pairs = [sidebyside.ratios(r, num, den) for r in rows or []]
            pairs = [p for p in pairs if p[0] is not None]
            if not pairs:
                continue
            wall = statistics.median(p[0] for p in pairs)
            cpu = statistics.median(p[1] for p in pairs)
            met = wall >= goal if high else wall <= goal
            lines.append(f"| {what}: {label} | {wall:.1f}× | {cpu:.1f}× "
                         f"| {'met' if met else 'missed'} |")
    if per_deck is not None:
        lines.append(f"| 100 JPEG-only decks in one process: ≤ 2 ms per deck | {per_deck:.2f} ms "
                     f"| | {'met' if per_deck <= 2 else 'missed'} |")
    if speedup is not None:
        wall, by_count = speedup
        counted = f"{by_count:.2f}× (instructions)" if by_count else ""
        lines.append(f"| --jobs 2 over the corpus: ≥ 1.7× the throughput of --jobs 1 "
                     f"| {wall:.2f}× | {counted} | {'met' if wall >= 1.7 else 'missed'} |")
    return lines


def machine_lines(args, tools, started, loads):
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
    office = "not measured"
    if tools.soffice:
        office = subprocess.run([tools.soffice, "--version"], capture_output=True,
                                text=True).stdout.strip() or "installed"
    if args.office_from:
        office += f"; .ppt corpus timings from {args.office_from.name}, measured earlier"
    java = "not measured"
    if tools.java:
        version = subprocess.run([tools.java[0], "-version"], capture_output=True, text=True)
        java = (version.stderr.splitlines() or ["java"])[0]
        poi = sorted(Path("/usr/share/java").glob("poi-[0-9]*.jar"))
        java += f", Apache POI {poi[0].stem[4:] if poi else '?'} (Debian's jars)"
    return [f"- Date: {time.strftime('%Y-%m-%d %H:%M UTC', started)}",
            f"- Machine: {platform.system()} {platform.release()}, {cpu}, {os.cpu_count()} cores, "
            f"1-minute load average {loads[0]:.2f} at the start and {loads[1]:.2f} at the end "
            "(other developers build on this machine)",
            f"- Morvane: {commit or 'unknown commit'} ({args.build}/morvane-extract)",
            f"- LibreOffice: {office}",
            f"- POI: {java}",
            f"- Parts: {', '.join(args.parts)}; command: `bench/run.sh {' '.join(args.argv)}`"]


PARTS = ["jpeg", "batch", "jobs", "counts", "startup", "pptx", "corpus", "decks"]


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--corpus", type=Path, required=True)
    parser.add_argument("--corpus-pptx", type=Path)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--parts", default=",".join(PARTS),
                        help=f"comma-separated parts to run: {', '.join(PARTS)}")
    parser.add_argument("--runs", type=int, default=5, help="corpus runs per file")
    parser.add_argument("--office-runs", type=int, default=3)
    parser.add_argument("--poi-runs", type=int, default=3)
    parser.add_argument("--hf-runs", type=int, default=20,
                        help="hyperfine runs of morvane-extract and the floor program")
    parser.add_argument("--slow-runs", type=int, default=6, help="hyperfine runs of POI")
    parser.add_argument("--jobs-runs", type=int, default=5)
    parser.add_argument("--batch", type=int, default=100)
    parser.add_argument("--no-office", action="store_true")
    parser.add_argument("--no-poi", action="store_true")
    parser.add_argument("--no-decks", action="store_true", help="same as leaving out 'decks'")
    parser.add_argument("--limit", type=int, default=0, help="only the first N corpus files")
    parser.add_argument("--timeout", type=float, default=120)
    parser.add_argument("--save-office", type=Path, help="keep LibreOffice's timings in FILE")
    parser.add_argument("--office-from", type=Path,
                        help="take LibreOffice's .ppt corpus timings from FILE")
    parser.add_argument("--argv", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    args.parts = [p for p in args.parts.split(",") if p]
    unknown = set(args.parts) - set(PARTS)
    if unknown:
        parser.error(f"unknown parts: {', '.join(sorted(unknown))}")
    if args.no_decks and "decks" in args.parts:
        args.parts.remove("decks")
    return args


def corpus_files(folder, limit):
    files = sorted(p for p in folder.glob("*") if p.is_file()) if folder and folder.is_dir() else []
    return files[:limit] if limit else files


def main():
    args = parse_args()
    extractor = (args.build / "morvane-extract").resolve()
    pptgen = (args.build / "morvane-pptgen").resolve()
    if not os.access(extractor, os.X_OK):
        sys.exit(f"bench: {extractor} is not built")
    files = corpus_files(args.corpus, args.limit)
    pptx_files = corpus_files(args.corpus_pptx, args.limit)
    started, load_start = time.gmtime(), os.getloadavg()[0]
    parts = set(args.parts)
    sections, ppt_rows, pptx_rows, per_deck, speedup, corpus_results = [], [], [], None, None, {}
    with tempfile.TemporaryDirectory(prefix="morvane-bench-") as work:
        workdir = Path(work)
        log("Preparing the floor program, POI and LibreOffice")
        tools = sidebyside.prepare_tools(extractor, workdir, not args.no_poi, not args.no_office)
        global PEAKRSS
        PEAKRSS = sidebyside.build_c_helper("peakrss.c", workdir)
        decks = make_jpeg_decks(pptgen, workdir) if os.access(pptgen, os.X_OK) else []
        if not decks:
            log("bench: no morvane-pptgen: the parts on generated decks are skipped")
        if decks:
            warm_deck = decks[0][1]
        elif files:
            warm_deck = files[0]
        else:
            warm_deck = None
        if warm_deck and (parts & {"jpeg", "pptx", "corpus"}):
            sidebyside.warm_office(tools, warm_deck, workdir)
        if decks and "jpeg" in parts:
            ppt_rows, lines = jpeg_section(args, tools, decks, workdir)
            sections += lines
        if decks and "batch" in parts:
            per_deck, lines = batch_section(args, tools, decks, workdir)
            sections += lines
        if "corpus" in parts and files:
            corpus_results = run_corpus(args, files, tools, ".ppt corpus", "ppt")
        if "jobs" in parts and files:
            speedup, lines = jobs_section(args, tools, files, corpus_results, workdir)
            sections += lines
        if decks and "counts" in parts and shutil.which("valgrind"):
            sections += counts_section(tools, decks, workdir)
        if decks and "startup" in parts and shutil.which("valgrind"):
            sections += startup_section(args, tools, decks, workdir)
        if "pptx" in parts:
            pptx_decks = make_pptx_decks(decks, tools, workdir)
            pptx_rows, lines = pptx_section(args, tools, pptx_decks, pptx_files, workdir)
            sections += lines
        if corpus_results:
            sections += corpus_section(".ppt corpus, one process per file", args.corpus,
                                       corpus_results,
                                       "Each run works on a fresh copy of the file; peak memory "
                                       "is the largest resident set size of the process and the "
                                       "children it waited for (wait4, through peakrss.c). "
                                       f"Morvane and the floor "
                                       f"{args.runs} runs per file, POI {args.poi_runs}, "
                                       f"LibreOffice {args.office_runs} (medians).")
        if "decks" in parts and os.access(pptgen, os.X_OK):
            sections += growth_section(args, extractor, pptgen, workdir)
    loads = (load_start, os.getloadavg()[0])
    summary = goal_summary(ppt_rows, pptx_rows, per_deck, speedup)
    report = ["# Benchmark results", "", *machine_lines(args, tools, started, loads), "",
              "## Goals", "", "Medians over the generated JPEG-only decks (ratios of median wall "
              "times, process start included).", "", *summary, "", *sections]
    args.out.write_text("\n".join(report))
    log(f"Wrote {args.out}")


if __name__ == "__main__":
    main()
