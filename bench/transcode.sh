#!/usr/bin/env bash
# Transcoding benchmark: a 48-Mpixel PNG and JPEG (8000 x 6000, generated)
# decoded, cropped, flattened and encoded as a quality-90 JPEG by Qt's image
# plugins (the export before), by libjpeg-turbo's TurboJPEG API, by Morvane's
# export (libjpeg-turbo's libjpeg API and libpng, row by row) and by libvips's
# command-line tool (`vips copy in.png out.jpg[Q=90]`, `vips crop`), each in
# a process of its own: wall time (median of the runs), peak memory, and PSNR
# against the flattened source. Then the PSNR of every picture of the corpus
# that the export transcodes. Needs libvips-tools and libturbojpeg0-dev.
#
# Usage: bench/transcode.sh [--runs N] [--build DIR] [--corpus DIR] [--out FILE]
# Defaults: 3 runs, build/, ../shared/corpus, bench/transcode-results.md.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=3
build=$root/build
corpus=${MORVANE_SHARED_DIR:-$root/../shared}/corpus
out=$here/transcode-results.md
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "transcode.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
command -v vips > /dev/null || { echo "transcode.sh: needs vips (libvips-tools)" >&2; exit 2; }
cmake --build "$build" --target transcode_bench > /dev/null
bench=$build/bench/transcode_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A photograph-like picture: smooth colour ramps under mild noise.
vips xyz "$work/xy.v" 8000 6000
vips extract_band "$work/xy.v" "$work/x.v" 0
vips extract_band "$work/xy.v" "$work/y.v" 1
vips linear "$work/x.v" "$work/r.v" 0.03 0
vips linear "$work/y.v" "$work/g.v" 0.04 0
vips add "$work/x.v" "$work/y.v" "$work/s.v"
vips linear "$work/s.v" "$work/b.v" 0.018 0
vips bandjoin "$work/r.v $work/g.v $work/b.v" "$work/rgb.v"
vips gaussnoise "$work/n.v" 8000 6000 --sigma 4 --mean 0
vips add "$work/rgb.v" "$work/n.v" "$work/rgbn.v"
vips cast "$work/rgbn.v" "$work/rgb8.v" uchar
vips copy "$work/rgb8.v" "$work/big.png"
vips copy "$work/rgb8.v" "$work/big.jpg[Q=92]"
rm -f "$work"/*.v

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# One measured run: prints "wall-seconds cpu-seconds peak-KB".
measure() {
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" > /dev/null 2>&1
  awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$work/time"
}

row() {  # input label crop(yes/no)
  local input=$1 label=$2 crop=$3 tool times cpus mem result
  for tool in qt turbojpeg morvane vips; do
    times=() cpus=() mem=0
    for _ in $(seq "$runs"); do
      rm -f "$work/out.jpg"
      if [ "$tool" = vips ]; then
        if [ "$crop" = yes ]; then
          result=$(measure vips crop "$work/$input" "$work/out.jpg[Q=90]" 800 600 6400 4800)
        else
          result=$(measure vips copy "$work/$input" "$work/out.jpg[Q=90]")
        fi
      else
        args=("$bench" "$tool" "$work/$input" "$work/out.jpg")
        [ "$crop" = yes ] && args+=(crop)
        result=$(measure "${args[@]}")
      fi
      read -r wall cpu kb <<< "$result"
      times+=("$wall") cpus+=("$cpu")
      mem=$(( kb > mem ? kb : mem ))
    done
    local t c
    t=$(printf '%s\n' "${times[@]}" | median)
    c=$(printf '%s\n' "${cpus[@]}" | median)
    local psnr="-"
    [ "$crop" = no ] && psnr=$("$bench" psnr "$work/$input" "$work/out.jpg")
    local size; size=$(stat -c %s "$work/out.jpg")
    echo "| $label | $tool | $t | $c | $(( mem / 1024 )) | $psnr | $(( size / 1024 )) |"
  done
}

{
  echo "# Transcoding, side by side"
  echo
  echo "\`bench/transcode.sh --runs $runs\` on $(nproc) cores, $(date -u +%Y-%m-%d)."
  echo "Inputs: 8000 x 6000 RGB, PNG $(( $(stat -c %s "$work/big.png") / 1048576 )) MB,"
  echo "JPEG (quality 92, 4:2:0) $(( $(stat -c %s "$work/big.jpg") / 1048576 )) MB. Output: quality 90;"
  echo "Qt's writer subsamples chroma (4:2:0), the others do not (4:4:4). Crop: 10 % off each edge."
  echo "Time: wall and CPU (user + system) seconds, median of $runs runs, process start included;"
  echo "memory: peak RSS. Load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo
  echo "| input | tool | wall s | CPU s | peak MB | PSNR dB | output KB |"
  echo "|---|---|---:|---:|---:|---:|---:|"
  row big.png "PNG 48 Mpixel" no
  row big.jpg "JPEG 48 Mpixel, cropped" yes
  row big.png "PNG 48 Mpixel, cropped" yes
  echo
  if [ -d "$corpus" ]; then
    echo "## The corpus: every transcoded picture (cropped JPEG, PNG, DIB, TIFF)"
    echo
    echo '```'
    "$bench" corpus "$corpus"/*.ppt | tail -n 1
    echo '```'
  fi
} > "$out"
cat "$out"
