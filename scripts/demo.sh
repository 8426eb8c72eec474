#!/usr/bin/env bash
# The main job: builds the driver, then scans three phantom plates on the emulated scanner with
# the example configuration, and leaves the images, their info files and PNG previews in one
# folder (default out/demo/images; an argument names another demo folder).
#   --network  the same scan through the network box: lumora-boxd runs the emulated scanner
#              on a free loopback port, the lumora command scans through it, the box stops.
# Installs the build tools and libraries first when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
network=0
if [[ ${1:-} == --network ]]; then
  network=1
  shift
fi
demo=${1:-out/demo}
[[ $demo = /* ]] || demo="$root/$demo"

./scripts/deps.sh cmake ninja-build g++ libpng-dev pkg-config libflxmlrpc-dev libdcmtk-dev libtiff-dev libsane-dev

echo "== building"
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMORA_TESTS=OFF \
  -DLUMORA_BENCH=OFF >/dev/null
ninja -C build-demo -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

# A fresh demo folder with the example configuration. The configuration service's settings
# name their folders relative to their own file: the images land in $demo/images.
rm -rf "$demo"
mkdir -p "$demo/devices"
cp examples/zrconfig.ini examples/lumora.ini "$demo/"
# The emulated scanner accepts any firmware image; these name the files the configuration uses.
for fw in Lumora.mcs LumoraUSB.mcs Calyxa.mcs; do
  printf ':0400000001020304F2\n:00000001FF\n' > "$demo/devices/$fw"
done

export LUMORA_ZRCONFIG="$demo/zrconfig.ini"
export LUMORA_EPP_DEVICE=emulator
export LUMORA_EMULATOR="$root/examples/emulator.ini"
export LUMORA_LIBDIR="$root/build-demo/lib"

if ((network)); then
  # The box: its own folder, the emulated scanner, a free port read from its first line.
  echo "== starting the network box lumora-boxd over the emulated scanner"
  build-demo/bin/lumora-boxd --dir "$demo/box" --listen 127.0.0.1:0 --log "$demo/box.log" \
    > "$demo/box.out" &
  box=$!
  trap 'kill -TERM $box 2>/dev/null || true; wait $box 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    grep -q "listening on" "$demo/box.out" 2>/dev/null && break
    kill -0 $box 2>/dev/null || { cat "$demo/box.log"; exit 1; }
    sleep 0.1
  done
  address=$(sed -n 's/^lumora-boxd listening on //p' "$demo/box.out")
  [[ -n $address ]] || { echo "the box did not start"; cat "$demo/box.log"; exit 1; }
  echo "   listening on $address (log: $demo/box.log)"
  # The workstation's configuration names the box.
  sed -i -e 's/^Network=.*/Network=1/' -e "s/^Server=.*/Server=$address/" "$demo/lumora.ini"
  echo "== scanning three plates through the box"
else
  echo "== scanning three plates on the emulated scanner"
fi
build-demo/bin/lumora scan --set 1 --plates 3 --seconds 120 --png8 --interval 10

if ((network)); then
  kill -TERM $box
  wait $box || true
  trap - EXIT
  echo "== the box stopped; its log:"
  cat "$demo/box.log"
fi

images="$demo/images"
echo
echo "== the images, their info files and previews are in $images"
ls -l "$images"
