#!/usr/bin/env bash
# Benchmark: morvane-extract side by side with Apache POI (one JVM per file),
# LibreOffice (--convert-to odp) and a floor program (libgsf copying the
# stored JPEG bytes), on generated JPEG-only .ppt and .pptx decks and on the
# reference corpora; many decks in one call; --jobs 2 against --jobs 1;
# instruction and system-call counts. Writes bench/results.md.
# See bench/README.md for what each part needs.
#
# Usage: bench/run.sh [--parts LIST] [--quick] [--build DIR] [--corpus DIR]
#                     [--corpus-pptx DIR] [--out FILE] [--runs N] [--hf-runs N]
#                     [--slow-runs N] [--poi-runs N] [--office-runs N]
#                     [--jobs-runs N] [--batch N] [--limit N] [--timeout S]
#                     [--no-office] [--no-poi] [--no-decks]
#                     [--save-office FILE | --office-from FILE]
# Parts (comma-separated, default all):
#   jpeg,batch,jobs,counts,startup,pptx,corpus,decks
# --quick: fewer runs everywhere (a check that every part works, not a result).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

build=$root/build
shared=${MORVANE_SHARED_DIR:-$root/../shared}
corpus=$shared/corpus
corpus_pptx=$shared/corpus-pptx
out=$here/results.md
given=("$@")
pass=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --corpus-pptx) corpus_pptx=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --parts | --runs | --hf-runs | --slow-runs | --poi-runs | --office-runs | --jobs-runs \
      | --batch | --limit | --timeout | --save-office | --office-from)
      pass+=("$1" "$2"); shift 2 ;;
    --quick)
      pass+=(--runs 2 --hf-runs 5 --slow-runs 3 --poi-runs 1 --office-runs 1 --jobs-runs 2)
      shift ;;
    --no-office | --no-poi | --no-decks) pass+=("$1"); shift ;;
    -h | --help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ ! -x "$build/morvane-extract" ]; then
  echo "run.sh: build the project first (ninja -C $build morvane-extract morvane-pptgen)" >&2
  exit 2
fi
command -v hyperfine > /dev/null || echo "run.sh: no hyperfine; the side-by-side parts need it" >&2
[ -d "$corpus" ] || echo "run.sh: no corpus at $corpus; its parts are skipped" >&2

echo "run.sh: load before: $(uptime)" >&2
python3 "$here/bench.py" --build "$build" --corpus "$corpus" --corpus-pptx "$corpus_pptx" \
  --out "$out" "${pass[@]}" --argv "${given[@]}"
echo "run.sh: load after: $(uptime)" >&2
cat "$out"
