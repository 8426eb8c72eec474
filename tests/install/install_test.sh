#!/usr/bin/env bash
# Installs the build into a staging folder, builds two tiny consumers outside the tree against
# it (pkg-config, and find_package(Lumora)), and runs each on the emulated scanner.
#   install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER
set -euo pipefail
build=$1 source=$2 cc=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage

cmake --install "$build" --prefix "$stage" >/dev/null
libdir=$(dirname "$(find "$stage" -name liblumora.so -print -quit)")
[[ -n $libdir && $libdir != . ]] || { echo "liblumora.so not installed"; exit 1; }
expect() { [[ -e $stage/$1 ]] || { echo "not installed: $1"; exit 1; }; }
for f in bin/lumora sbin/lumora-boxd include/lumora/lumora.h share/man/man1/lumora.1.gz \
         share/man/man8/lumora-boxd.8.gz \
         share/lumora/examples/lumora.ini share/lumora/examples/zrconfig.ini \
         etc/sane.d/lumora.conf etc/sane.d/dll.d/lumora; do
  expect "$f"
done
rel=${libdir#"$stage"/}
for f in liblumora.so libzrconfig.so libzrip.so liblumorausb.so liblumoraemu.so \
         sane/libsane-lumora.so.1 pkgconfig/lumora.pc cmake/Lumora/LumoraConfig.cmake; do
  expect "$rel/$f"
done

# The consumers, outside the tree.
export PKG_CONFIG_PATH=$libdir/pkgconfig
flags=$(pkg-config --cflags --libs lumora)
include=$(pkg-config --variable=includedir lumora)
[[ $(realpath "$include") == "$(realpath "$stage/include")" ]] || { echo "pkg-config gives: $flags"; exit 1; }
# shellcheck disable=SC2086
"$cc" -std=c99 -Wall -Werror -o "$work/with_pkgconfig" "$source/tests/install/scan_plate.c" \
  $flags -Wl,-rpath,"$libdir"
cmake -S "$source/tests/install/cmake_consumer" -B "$work/cmake_build" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$stage" -DCMAKE_BUILD_RPATH="$libdir" >/dev/null
cmake --build "$work/cmake_build" >/dev/null

# An emulated scanner with one plate, the installed example configuration.
scanner() {
  local dir=$work/scanner-$1
  mkdir -p "$dir/devices"
  cp "$stage/share/lumora/examples/zrconfig.ini" "$dir/"
  sed 's/^MinBild=.*/MinBild=1/' "$stage/share/lumora/examples/lumora.ini" > "$dir/lumora.ini"
  for fw in Lumora.mcs LumoraUSB.mcs Calyxa.mcs; do
    printf ':0400000001020304F2\n:00000001FF\n' > "$dir/devices/$fw"
  done
  printf '[Clock]\nMode=stepped\n[Plate_1]\nImage=phantom:bars\nSlot=1\nAt=0.5\n' > "$dir/emulator.ini"
  echo "$dir"
}
run() {  # program, scanner folder, arguments...
  local program=$1 dir=$2
  shift 2
  env -u LUMORA_LIBDIR LUMORA_ZRCONFIG="$dir/zrconfig.ini" LUMORA_EPP_DEVICE=emulator \
    LUMORA_EMULATOR="$dir/emulator.ini" XDG_CONFIG_HOME="$dir/xdg" LUMORA_RUNTIME_DIR="$dir" \
    "$program" "$@"
}
for consumer in "$work/with_pkgconfig" "$work/cmake_build/scan_plate"; do
  dir=$(scanner "$(basename "$consumer")")
  out=$(run "$consumer" "$dir")
  echo "$consumer: $out"
  [[ $out == "image $dir/images/LM000001.XYZ "* ]] || { echo "no image"; exit 1; }
done

# The installed command finds the installed driver.
dir=$(scanner command)
out=$(run "$stage/bin/lumora" "$dir" version)
[[ $out == *"$libdir/liblumora.so"* ]] || { echo "lumora version: $out"; exit 1; }
echo "installed tree, both consumers and the command work"
