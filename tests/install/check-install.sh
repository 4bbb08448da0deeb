#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed files:
# programs, desktop entry, metainfo, icons and man pages, with the validators
# a distribution runs. Usage: check-install.sh BUILD_DIR
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

app=org.example.Morvane
expected=(
  bin/morvane
  bin/morvane-extract
  share/applications/$app.desktop
  share/metainfo/$app.metainfo.xml
  share/icons/hicolor/scalable/apps/$app.svg
  share/icons/hicolor/32x32/apps/$app.png
  share/icons/hicolor/48x48/apps/$app.png
  share/man/man1/morvane-extract.1.gz
  share/man/man1/morvane.1.gz
  share/doc/morvane/copyright
)
for f in "${expected[@]}"; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
for f in bin/morvane bin/morvane-extract; do
  [ -x "$prefix/$f" ] || fail "not executable: $f"
done
# Nothing of the test and build tools may be installed.
unexpected=$(cd "$prefix" && find . -type f -name '*pptgen*' -o -type f -name '*iconrender*')
[ -z "$unexpected" ] || fail "build tools installed: $unexpected"

# The PNG icons have the size their folder says.
for size in 32 48; do
  header=$(od -An -tx1 -j16 -N8 "$prefix/share/icons/hicolor/${size}x${size}/apps/$app.png" | tr -d ' \n')
  [ "$header" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "$size px icon has the wrong size"
done

desktop=$prefix/share/applications/$app.desktop
grep -qx 'Exec=morvane' "$desktop" || fail "desktop entry does not start morvane without arguments"
grep -qx "Icon=$app" "$desktop" || fail "desktop entry names another icon"
! grep -q '^MimeType=' "$desktop" || fail "desktop entry declares MIME types"

run_validator() {
  local tool=$1
  shift
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    return
  fi
  local output
  output=$("$@" 2>&1) || { fail "$tool rejected the file: $output"; return; }
  # A clean file gets no remark at all: no error, warning, hint or info.
  if grep -qE '(: (error|warning|hint): |^[EWI]: )' <<<"$output"; then
    fail "$tool remarks: $output"
  fi
}
run_validator desktop-file-validate desktop-file-validate "$desktop"
run_validator appstreamcli appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml"

# The man pages render without groff warnings and name the options.
for page in morvane-extract morvane; do
  roff=$(gzip -dc "$prefix/share/man/man1/$page.1.gz")
  if command -v groff >/dev/null; then
    warnings=$(printf '%s\n' "$roff" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns on $page(1): $warnings"
  fi
done
text=$(gzip -dc "$prefix/share/man/man1/morvane-extract.1.gz" | sed 's/\\&//g')
for word in --no-pictures --graph --text Img0001.Jpg Graph0001.Bmp "EXIT STATUS"; do
  grep -qF -- "$word" <<<"$text" || fail "morvane-extract(1) does not mention $word"
done

# The drawing module is installed, and the installed morvane-extract finds
# it: a PNG picture is converted (which needs the module), a JPEG picture is
# copied as stored.
modules=$(cd "$prefix" && find . -name libmorvane-draw.so)
[ -n "$modules" ] || fail "not installed: the drawing module libmorvane-draw.so"
if [ -x "$build_dir/morvane-pptgen" ]; then
  for format in png jpeg; do
    "$build_dir/morvane-pptgen" --pictures 1 --format "$format" "$work/$format.ppt" >/dev/null
    "$prefix/bin/morvane-extract" -o "$work/$format" "$work/$format.ppt" >/dev/null ||
      fail "installed morvane-extract failed on a deck with a $format picture"
    [ -s "$work/$format/Img0001.Jpg" ] || fail "installed morvane-extract wrote no $format picture"
  done
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed files are complete and valid"
