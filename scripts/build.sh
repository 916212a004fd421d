#!/usr/bin/env bash
# build.sh [normal|asan]: configures and builds into build/ or build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-normal}
case "$kind" in
  normal) dir=build; extra=() ;;
  asan) dir=build-asan; extra=(-DVEXCAM_SANITIZE=ON -DVEXCAM_BUILD_BENCH=OFF) ;;
  *) echo "usage: build.sh [normal|asan]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
