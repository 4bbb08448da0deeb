#!/usr/bin/env bash
# Builds the extractor with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every job (pictures, charts and text) on each file of the reference
# corpus. A file may extract (exit 0) or fail with one clear "Error:" line
# (exit 1); a sanitizer report, a crash or a hang fails the script.
# Usage: scripts/sanitize-corpus.sh [corpus-dir] [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=${1:-../shared/corpus}
build=${2:-build-asan}

if [ ! -d "$corpus" ]; then
  echo "sanitize-corpus: $corpus is absent, skipped"
  exit 0
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON \
  -DMORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target morvane-extract

export ASAN_OPTIONS=detect_leaks=0:exitcode=99:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=99
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 total=0
for f in "$corpus"/*; do
  total=$((total + 1))
  dir="$work/$total"
  mkdir -p "$dir"
  cp "$f" "$dir/"
  set +e
  timeout 120 "$build/morvane-extract" --graph --text Notes "$dir/$(basename "$f")" \
    >"$dir.out" 2>"$dir.err"
  rc=$?
  set -e
  if [ "$rc" -ne 0 ] && [ "$rc" -ne 1 ]; then
    failed=$((failed + 1))
    echo "FAIL ($rc): $(basename "$f")"
    tail -n 30 "$dir.err"
  elif [ "$rc" -eq 1 ] && ! grep -q '^Error: ' "$dir.out"; then
    failed=$((failed + 1))
    echo "FAIL (exit 1 without an Error: line): $(basename "$f")"
  fi
  rm -rf "$dir"
done
echo "sanitize-corpus: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
