#!/usr/bin/env bash
# build.sh [normal|asan] [cmake options...]: configures and builds into
# build/ or build-asan/; options given after the kind override its defaults.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-normal}
[ $# -gt 0 ] && shift
case "$kind" in
  normal) dir=build; extra=(-DVEXCAM_BUILD_TESTS=ON) ;;
  asan) dir=build-asan; extra=(-DVEXCAM_SANITIZE=ON -DVEXCAM_BUILD_TESTS=ON -DVEXCAM_BUILD_BENCH=OFF) ;;
  *) echo "usage: build.sh [normal|asan] [cmake options...]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
