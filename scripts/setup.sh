#!/usr/bin/env bash
# Installs the Debian packages the project needs, configures and builds.
# Usage: scripts/setup.sh [--dev] [--bench] [build-dir]   (default: build)
#   by default: what building, running and the test suite need;
#   --dev:      also clang and its runtime libraries for the fuzzing and
#               sanitizer builds, and an X server for the screenshots;
#   --bench:    also what bench/run.sh compares with and measures by.
set -euo pipefail
cd "$(dirname "$0")/.."

dev=false
bench=false
build_dir=build
for arg in "$@"; do
  case $arg in
    --dev) dev=true ;;
    --bench) bench=true ;;
    -h | --help)
      sed -n '2,7s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    -*)
      echo "setup.sh: unknown option $arg (try --help)" >&2
      exit 2
      ;;
    *) build_dir=$arg ;;
  esac
done

# Building, running and the test suite.
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins libgl-dev
  libgsf-1-dev libglib2.0-dev zlib1g-dev libjpeg62-turbo-dev libpng-dev libzip-dev shared-mime-info
  fonts-liberation fonts-dejavu-core
  antiword catdoc
  default-jdk-headless libapache-poi-java
  desktop-file-utils appstream scdoc dpkg-dev file groff-base python3
)

# --dev: AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer builds
# (scripts/sanitize-corpus.sh, fuzz/), an X server for the screenshots, and
# the alternatives bench/transcode.sh measures (TurboJPEG, libvips's tool).
dev_packages=(
  clang libclang-rt-14-dev
  xvfb xauth
  libturbojpeg0-dev libvips-tools
)

# --bench: what bench/run.sh compares with besides Apache POI (above),
# LibreOffice, and its measuring tools (bench/README.md).
bench_packages=(
  libreoffice-impress hyperfine valgrind strace
)

$dev && packages+=("${dev_packages[@]}")
$bench && packages+=("${bench_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" --parallel "$(nproc)"
