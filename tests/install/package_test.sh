#!/usr/bin/env bash
# Builds the Debian package in a build folder of its own (prefix /usr, no tests) and checks
# its file list, its dependencies (from dpkg-shlibdeps) and its configuration files.
#   package_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source=$1 work=$2
mkdir -p "$work"
cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DLUMORA_TESTS=OFF -DLUMORA_BENCH=OFF -DLUMORA_FUZZ=OFF >/dev/null
ninja -C "$work/build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
rm -f "$work"/build/*.deb
(cd "$work/build" && cpack -G DEB >/dev/null)
deb=$(ls "$work"/build/lumora_*.deb)
echo "package: $deb"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
missing=0
for f in ./usr/bin/lumora ./usr/sbin/lumora-boxd ./usr/share/man/man8/lumora-boxd.8.gz ./usr/include/lumora/lumora.h \
         "./usr/lib/$arch/liblumora.so" "./usr/lib/$arch/libzrconfig.so" "./usr/lib/$arch/libzrip.so" \
         "./usr/lib/$arch/liblumorausb.so" "./usr/lib/$arch/liblumoraemu.so" \
         "./usr/lib/$arch/sane/libsane-lumora.so.1" "./usr/lib/$arch/pkgconfig/lumora.pc" \
         "./usr/lib/$arch/cmake/Lumora/LumoraConfig.cmake" ./etc/sane.d/lumora.conf \
         ./etc/sane.d/dll.d/lumora ./usr/share/man/man1/lumora.1.gz ./usr/share/lumora/examples/lumora.ini; do
  grep -qxF "$f" <<<"$files" || { echo "missing from the package: $f"; missing=1; }
done
# Nothing of the build tree or of the tests.
if grep -E 'test|gtest|/usr/etc/' <<<"$files"; then echo "unexpected files above"; missing=1; fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for d in libc6 libstdc++6 libpng16-16 libtiff6 libdcmtk17; do
  [[ $depends == *"$d"* ]] || { echo "no dependency on $d"; missing=1; }
done
conffiles=$(dpkg-deb -I "$deb" conffiles)
for c in /etc/sane.d/lumora.conf /etc/sane.d/dll.d/lumora; do
  grep -qxF "$c" <<<"$conffiles" || { echo "not a conffile: $c"; missing=1; }
done
exit $missing
