#!/usr/bin/env bash
# Hostile pictures, bounded: generated decks, each a valid file, run through
# morvane-extract with their wall time and peak memory (each must end within
# 5 s and 300 MB on the 2-core reference machine):
#   an EMF polygon of 60 million points; an RGBA PNG of 8192 x 8192; an EMF of
#   ten StretchDIBits whose DIB headers claim 6324 x 6324 pixels over 4 bytes;
#   ten shapes sharing one 8000 x 6000 PNG against one shape showing it; a WMF
#   that fills its object table (65,535 pens) and then deletes and creates a
#   pen 450,000 times (the lowest free slot was searched from the start: 114 s).
# (Embedded objects sharing one id are covered by test_exobjlist.)
#
# Usage: bench/hostile.sh [--build DIR] [--out FILE]   (default bench/hostile-results.md)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$root/build
out=$here/hostile-results.md
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "hostile.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import struct, sys, zlib
work = sys.argv[1]

def emf(records):
    body = b''.join(records)
    header = struct.pack('<II4i4iIIIIHHIII2i2i', 1, 88, 0, 0, 1000, 1000, 0, 0, 26458, 26458,
                         0x464D4520, 0x10000, 0, 0, 1, 0, 0, 0, 0, 1024, 768, 320, 240)
    eof = struct.pack('<IIIII', 14, 20, 0, 16, 20)
    data = header + body + eof
    size = len(data)
    return data[:48] + struct.pack('<I', size) + struct.pack('<I', len(records) + 2) + data[56:]

# EMR_POLYGON16 of 60 million points.
count = 60_000_000
points = struct.pack('<hh', 0, 0) * count
polygon = struct.pack('<II4iI', 86, 28 + len(points), 0, 0, 1000, 1000, count) + points
open(f'{work}/polygon.emf', 'wb').write(emf([polygon]))
del points, polygon

# Ten EMR_STRETCHDIBITS whose BITMAPINFOHEADER claims 6324 x 6324 x 24 bits over 4 bytes.
side = 6324
bmi = struct.pack('<IiiHHIIiiII', 40, side, side, 1, 24, 0, 0, 0, 0, 0, 0)
fixed = struct.pack('<II4i6iIIIIIIii', 81, 80 + 40 + 4, 0, 0, 1000, 1000, 0, 0, 0, 0, side, side,
                    80, 40, 120, 4, 0, 0x00CC0020, 1000, 1000)
open(f'{work}/dibs.emf', 'wb').write(emf([fixed + bmi + b'\x7f' * 4] * 10))

# An RGBA PNG of 8192 x 8192, transparent white, deflated row by row.
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
z = zlib.compressobj(9)
row = b'\0' + b'\xff\xff\xff\x00' * 8192
idat = b''.join(z.compress(row) for _ in range(8192)) + z.flush()
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 8192, 8192, 8, 6, 0, 0, 0))
open(f'{work}/rgba.png', 'wb').write(png + chunk(b'IDAT', idat) + chunk(b'IEND', b''))

# A WMF (stored as a compressed metafile; the bytes decide its kind).
pen = struct.pack('<IHHhhI', 8, 0x02FA, 0, 1, 0, 0)  # META_CREATEPENINDIRECT
delete = struct.pack('<IHH', 4, 0x01F0, 65534)       # META_DELETEOBJECT
rect = struct.pack('<IHhhhh', 7, 0x041B, 100, 100, 0, 0)
body = pen * 65535 + (delete + pen) * 450000 + rect + struct.pack('<IH', 3, 0)
header = struct.pack('<HHHIHIH', 1, 9, 0x300, (18 + len(body)) // 2, 65535, 8, 0)
open(f'{work}/slots.emf', 'wb').write(header + body)
PY
vips black "$work/b.v" 8000 6000 --bands 3
vips gaussnoise "$work/n.v" 8000 6000 --sigma 20 --mean 128
vips bandjoin "$work/n.v $work/n.v $work/n.v" "$work/g.v"
vips cast "$work/g.v" "$work/big.png" uchar
rm -f "$work"/*.v

deck() {  # name outline-lines...
  local name=$1; shift
  printf '%s\n' "$@" > "$work/$name.txt"
  "$build/morvane-pptgen" --outline "$work/$name.txt" "$work/$name/$name.ppt" > /dev/null
}
for d in polygon dibs rgba slots one shared; do mkdir -p "$work/$d"; done
deck polygon "picture: file $work/polygon.emf"
deck dibs "picture: file $work/dibs.emf"
deck rgba "picture: file $work/rgba.png"
deck slots "picture: file $work/slots.emf"
deck one "picture: file $work/big.png"
shared=()
for i in $(seq 10); do shared+=("picture: file $work/big.png" "---"); done
deck shared "${shared[@]}"

{
  echo "# Hostile pictures"
  echo
  echo "\`bench/hostile.sh\` on $(nproc) cores, $(date -u +%Y-%m-%d): morvane-extract on each deck."
  echo
  echo "| deck | deck MB | s | peak MB | log |"
  echo "|---|---:|---:|---:|---|"
  for d in polygon dibs rgba slots one shared; do
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/morvane-extract" "$work/$d/$d.ppt" \
      > "$work/log" 2>&1 || true
    read -r secs kb < "$work/time"
    log=$(grep -v '^$' "$work/log" | grep -E 'Warning|Error|image files|No images' | head -2 |
          tr '\n' ' ' | sed "s|$work/||g")
    echo "| $d | $(( $(stat -c %s "$work/$d/$d.ppt") / 1048576 )) | $secs | $(( kb / 1024 )) | $log |"
  done
} > "$out"
cat "$out"
