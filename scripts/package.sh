#!/usr/bin/env bash
# package.sh [build-dir]: builds the Debian packages from a configured build
# (default build/), installs them, builds the examples against the installed
# files only (through pkg-config and through find_package) and runs them on
# the simulated camera.
#
# The packages are installed with dpkg into the machine when this runs as
# root and VEXCAM_PACKAGE_INSTALL is not "prefix" (they are purged again at
# the end); otherwise they are unpacked into a clean temporary prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
src=$PWD
work=$(mktemp -d /tmp/vexcam-package.XXXXXX)
installed=()
cleanup() {
  if [ ${#installed[@]} -gt 0 ]; then dpkg -P "${installed[@]}" >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/debs" >/dev/null 2>"$work/cpack.log") || { cat "$work/cpack.log" >&2; exit 1; }
debs=("$work"/debs/*.deb)
for deb in "${debs[@]}"; do
  echo "-- $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done

mode=${VEXCAM_PACKAGE_INSTALL:-dpkg}
if [ "$mode" = dpkg ] && [ "$(id -u)" -ne 0 ]; then mode=prefix; fi
if [ "$mode" = dpkg ] && dpkg-query -W -f='${Status}' libvexcam-dev 2>/dev/null | grep -q "install ok"; then
  echo "package: a VexCam installation is already on this machine; unpacking into a prefix instead"
  mode=prefix
fi
if [ "$mode" = dpkg ]; then
  dpkg -i "${debs[@]}" >/dev/null
  for deb in "${debs[@]}"; do installed+=("$(dpkg-deb -f "$deb" Package)"); done
  prefix=/usr
  libdir=$(dirname "$(dpkg -L "${installed[@]}" | grep -m1 '/libVexCamSdk_ZA01\.so\.[0-9]*$')")
  export PKG_CONFIG_PATH=
  cmake_prefix=()
else
  prefix=$work/root/usr
  for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$work/root"; done
  libdir=$(dirname "$(find "$prefix" -name 'libVexCamSdk_ZA01.so.*' -type l | head -n1)")
  export PKG_CONFIG_PATH=$libdir/pkgconfig
  export LD_LIBRARY_PATH=$libdir
  cmake_prefix=(-DCMAKE_PREFIX_PATH="$prefix")
fi
echo "-- installed into $prefix ($mode)"

# What the packages must hold.
for f in "$libdir/libVexCamSdk_ZA01.so" "$libdir/vexcam/libVexCamPreview.so" "$libdir/pkgconfig/vexcam.pc" \
         "$libdir/cmake/VexCam/VexCamConfig.cmake" "$libdir/cmake/VexCam/VexCamConfigVersion.cmake" \
         "$prefix/include/vexcam/VexCamSdk.h" "$prefix/include/vexcam/VexCamLinux.h" "$prefix/bin/vexcam" \
         "$prefix/share/man/man1/vexcam.1.gz" "$prefix/lib/udev/rules.d/60-vexcam.rules"; do
  [ -e "$f" ] || [ -e "$f".gz ] || [ -e "${f%.gz}" ] || { echo "package: $f missing" >&2; exit 1; }
done
soname=$(objdump -p "$libdir/libVexCamSdk_ZA01.so" | awk '/SONAME/ {print $2}')
[ "$soname" = libVexCamSdk_ZA01.so.3 ] || { echo "package: SONAME is '$soname'" >&2; exit 1; }

# The examples see only the installed files: a copy outside the tree.
cp -r "$src/examples" "$work/examples"
make -s -C "$work/examples" CC=cc CXX=c++
cmake -S "$work/examples" -B "$work/examples-cmake" -G Ninja "${cmake_prefix[@]}" >/dev/null
cmake --build "$work/examples-cmake" >/dev/null

export VEXCAM_SIMULATOR=3200 XDG_CONFIG_HOME=$work/config
unset DISPLAY
for dir in "$work/examples" "$work/examples-cmake"; do
  echo "-- examples from $(basename "$dir")"
  (cd "$work" && "$dir/snapshot_png" "$work/shot.png" >/dev/null)
  head -c 8 "$work/shot.png" | od -An -c | grep -q 'P   N   G' || { echo "package: no PNG written" >&2; exit 1; }
  "$dir/stream_info" 20 | tail -n 1
  "$dir/raii_capture"
done
"$prefix/bin/vexcam" list >/dev/null
"$prefix/bin/vexcam" info --json | python3 -c 'import json, sys; d = json.load(sys.stdin); assert d["product_id"] == 0x3200'

# The GStreamer element from the installed plugin folder.
plugin=$(find "$prefix" -name libgstvexcam.so | head -n1)
if [ -n "$plugin" ]; then
  echo "-- gstreamer"
  export GST_PLUGIN_PATH=$(dirname "$plugin") GST_REGISTRY=$work/gst-registry.bin
  gst-launch-1.0 -q vexcamsrc num-buffers=100 ! videoconvert ! fakesink
  gst-launch-1.0 -q vexcamsrc num-buffers=30 color-bits=24 ! filesink location="$work/frames.bgr"
  size=$(stat -c %s "$work/frames.bgr")
  [ "$size" -eq $((30 * 640 * 512 * 3)) ] || { echo "package: the file pipeline wrote $size bytes" >&2; exit 1; }
  inspect=$(gst-inspect-1.0 vexcamsrc)
  for format in GRAY8 GRAY16_LE BGR BGRx; do
    grep -q "$format" <<<"$inspect" || { echo "package: vexcamsrc does not offer $format" >&2; exit 1; }
  done
fi

# The Python package, installed with pip (offline, Debian's setuptools) and
# tested against the installed library.
echo "-- python package"
cp -r "$src/python" "$work/python"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
VEXCAM_VERSION=$version /usr/bin/python3 -m pip install -q --no-index --no-build-isolation --prefix "$work/py" "$work/python" 2>/dev/null
site=$(find "$work/py" -type d -name vexcam -path '*-packages/*' | head -n1)
[ -n "$site" ] || { echo "package: pip installed no vexcam module" >&2; exit 1; }
ls "$(dirname "$site")" | grep -q "^vexcam-$version" \
  || { echo "package: the Python package is not version $version" >&2; exit 1; }
(cd "$work" && PYTHONPATH=$(dirname "$site") VEXCAM_LIBRARY="$libdir/libVexCamSdk_ZA01.so.3" \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider "$work/python/tests" | tail -n 1)
echo "package: ok"
