#!/usr/bin/env bash
# The main job: builds the driver, then scans three phantom plates on the emulated scanner with
# the example configuration, and leaves the images, their info files and PNG previews in one
# folder (default out/demo/images; the first argument names another demo folder).
# Installs the build tools and libraries first when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
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

echo "== scanning three plates on the emulated scanner"
build-demo/bin/lumora scan --set 1 --plates 3 --seconds 120 --png8 --interval 10

images="$demo/images"
echo
echo "== the images, their info files and previews are in $images"
ls -l "$images"
