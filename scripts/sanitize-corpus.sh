#!/usr/bin/env bash
# Builds the extractor with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every job on each file of the reference corpora (../shared/corpus and,
# when present, ../shared/corpus-pptx): the pictures, charts and text, then
# every picture in its stored form and every text as JSON. A file may extract
# (exit 0) or fail with one clear "Error:" line (exit 1); a sanitizer report,
# a crash or a hang fails the script.
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
# run NAME OUT ERR ARGS...: one morvane-extract run, judged as above.
run() {
  local name=$1 out=$2 err=$3
  shift 3
  set +e
  timeout 180 "$build/morvane-extract" "$@" >"$out" 2>"$err"
  local rc=$?
  set -e
  if [ "$rc" -ne 0 ] && [ "$rc" -ne 1 ]; then
    echo "FAIL ($rc): $name $*"
    tail -n 30 "$err"
    return 1
  elif [ "$rc" -eq 1 ] && ! grep -q '^Error: ' "$err"; then
    echo "FAIL (exit 1 without an Error: line): $name $*"
    return 1
  fi
}

corpora=("$corpus")
[ -d "$corpus-pptx" ] && corpora+=("$corpus-pptx")
for folder in "${corpora[@]}"; do
  for f in "$folder"/*; do
    total=$((total + 1))
    dir="$work/$total"
    mkdir -p "$dir"
    cp "$f" "$dir/"
    deck="$dir/$(basename "$f")"
    if ! run "$(basename "$f")" "$dir.out" "$dir.err" --graph --text Notes "$deck" ||
      ! run "$(basename "$f")" "$dir.out" "$dir.err" --every-picture --every-text --text Every \
        --original --json -o "$dir/every" "$deck"; then
      failed=$((failed + 1))
    fi
    rm -rf "$dir" "$dir.out" "$dir.err"
  done
done
echo "sanitize-corpus: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
