#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz and runs each one briefly with a
# fixed number of runs from a seed corpus (made here, and the files in fuzz/corpus/<target>).
#   scripts/fuzz.sh [runs]            (default 20000 runs per target)
#   scripts/fuzz.sh --time SECONDS    (a longer budget: each target runs that long)
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUDGET=""
if [ "${1:-}" = "--time" ]; then
  [ -n "${2:-}" ] || { echo "usage: $0 [runs] | --time SECONDS"; exit 2; }
  BUDGET="-max_total_time=$2"
  RUNS=-1
else
  RUNS=${1:-20000}
fi
BUILD="$ROOT/build-fuzz"
JOBS=${JOBS:-2}

cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address" \
  -DLUMORA_FUZZ=ON -DLUMORA_TESTS=OFF -DLUMORA_BENCH=OFF >/dev/null

TARGETS=$(ninja -C "$BUILD" -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
[ -n "$TARGETS" ] || { echo "no fuzz targets"; exit 1; }
# The plugins the targets load at run time (libzrip.so for the script reader).
ninja -C "$BUILD" -j "$JOBS" $TARGETS zrip >/dev/null

CORPUS="$BUILD/corpus"
rm -rf "$CORPUS"
mkdir -p "$CORPUS"

# Seed inputs made by code: small valid files of each kind and a few damaged ones.
seed() { mkdir -p "$CORPUS/$1"; printf "$3" > "$CORPUS/$1/$2"; }
# Image files: 16-bit 2 x 2, 8-bit 2 x 1, the 8-bit marker alone, a truncated one.
seed fuzz_image_reader xyz16 '\002\000\002\000\001\000\002\000\003\000\377\377'
seed fuzz_image_reader marker '\377\377\000\000'
seed fuzz_image_reader short '\003\000\002\000\001'
{ printf '\377\377\000\000\002\000\001\000\377\377'; head -c 246 /dev/zero; printf '\020\377'; } \
  > "$CORPUS/fuzz_image_reader/xyz8"
mkdir -p "$CORPUS/fuzz_info_reader"
# Grayscale PNG, 16-bit 2 x 2 and 8-bit 3 x 1 (made with python3 where it is at hand).
if command -v python3 >/dev/null; then
  python3 - "$CORPUS/fuzz_image_reader" <<'PY'
import struct, sys, zlib
def png(path, depth, width, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(r) for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), depth, 0, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
png(sys.argv[1] + "/png16", 16, 2, [[0, 1, 0x12, 0x34], [0xFF, 0xEF, 0x80, 0]])
png(sys.argv[1] + "/png8", 8, 3, [[0, 128, 255]])
PY
fi
# Info files: the 101 fixed bytes with a 3-byte extra header, and a cut one.
{ printf '\154\000\000\000\002\000\000\000\001\000\000\000\250\141\000\000\250\141\000\000\020';
  printf '\000\000\000\000\001\352\007\014\011\027\073\073';
  printf 'Lumora image'; head -c 20 /dev/zero; printf '\055\000'; head -c 14 /dev/zero;
  printf '\000\250\141\000\000\000\000\200\077\357\377\064\022\001\377\377\003\000\000\000XYZ'; } \
  > "$CORPUS/fuzz_info_reader/info"
head -c 60 "$CORPUS/fuzz_info_reader/info" > "$CORPUS/fuzz_info_reader/cut"
# Scripts: the examples and a few odd ones.
mkdir -p "$CORPUS/fuzz_script_reader"
cp "$ROOT"/examples/scripts/*.imo "$CORPUS/fuzz_script_reader/"
seed fuzz_script_reader lower '[imageoperations]\n3=zrip  st=0 zripparam=sigma=2"\n0=ZRIP  ST=0 ZRIPPARAM="MEDIAN RADIUS=1\n'
seed fuzz_script_reader nosection '0=ZRIP  ST=0 ZRIPPARAM="GAUSS SIGMA=1"\n'
# Streams: header (line length, options, two chunk sizes, prescan), then a plate of three
# lines with a skip marker and two empty lines.
seed fuzz_stream_walker plate '\074\000\041\007\015\003\376\377\012\000\144\000\145\000\146\000\147\000\365\377\003\000\150\000\151\000\376\377\012\000\144\000\145\000\146\000\147\000\376\377\012\000\144\000\145\000\376\377\000\001\376\377\000\001'
seed fuzz_stream_walker binned '\074\000\123\310\001\050\376\377\012\000\144\000\145\000\146\000\147\000\376\377\012\000\144\000\145\000\146\000\147\000\376\377\012\000\144\000\145\000\376\377\000\001'

# Seed corpora kept in the repository: fuzz/<folder>/corpus/<target>/.
for seeds in "$ROOT"/fuzz/*/corpus/*/; do
  [ -d "$seeds" ] || continue
  target=$(basename "$seeds")
  mkdir -p "$CORPUS/$target"
  cp "$seeds"* "$CORPUS/$target/"
done

STATUS=0
for target in $TARGETS; do
  mkdir -p "$CORPUS/$target"
  # Seeds kept in the repository.
  if [ -d "$ROOT/fuzz/corpus/$target" ]; then cp "$ROOT/fuzz/corpus/$target"/* "$CORPUS/$target/"; fi
  echo "== $target (${BUDGET:-$RUNS runs})"
  if ! LUMORA_LIBDIR="$BUILD/lib" ASAN_OPTIONS=detect_leaks=1 \
       "$BUILD/bin/$target" -runs="$RUNS" $BUDGET -seed=1 -max_len=4096 -timeout=10 -artifact_prefix="$BUILD/" \
       -rss_limit_mb=2048 "$CORPUS/$target" > "$BUILD/$target.log" 2>&1; then
    tail -40 "$BUILD/$target.log"
    STATUS=1
  else
    tail -2 "$BUILD/$target.log"
  fi
done
exit $STATUS
