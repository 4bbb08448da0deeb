#!/usr/bin/env bash
# Benchmark: morvane-extract (pictures-only job) against LibreOffice on the
# reference corpus, plus generated decks of growing size. Needs bash and
# python3; LibreOffice (soffice) is measured when installed.
#
# Usage: bench/run.sh [--runs N] [--office-runs N] [--no-office] [--no-decks]
#                     [--limit N] [--build DIR] [--corpus DIR] [--out FILE]
#                     [--save-office FILE | --office-from FILE]
# Defaults: 5 Morvane runs and 3 LibreOffice runs per file, build/,
# ../shared/corpus, bench/results.md. LibreOffice takes seconds per file:
# --save-office keeps its timings, --office-from reuses them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

build=$root/build
corpus=${MORVANE_SHARED_DIR:-$root/../shared}/corpus
out=$here/results.md
pass=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --runs | --office-runs | --limit | --timeout | --save-office | --office-from)
      pass+=("$1" "$2"); shift 2 ;;
    --no-office | --no-decks) pass+=("$1"); shift ;;
    -h | --help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ ! -x "$build/morvane-extract" ]; then
  echo "run.sh: build the project first (cmake --build $build)" >&2
  exit 2
fi
[ -d "$corpus" ] || echo "run.sh: no corpus at $corpus; only generated decks are measured" >&2

python3 "$here/bench.py" --build "$build" --corpus "$corpus" --out "$out" "${pass[@]}"
cat "$out"
