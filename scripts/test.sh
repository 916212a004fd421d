#!/usr/bin/env bash
# Sets up a fresh machine, then builds and runs every test twice: a normal
# build and an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:verify_asan_link_order=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for kind in normal asan; do
  echo "== $kind build"
  ./scripts/build.sh "$kind"
  dir=build; [ "$kind" = asan ] && dir=build-asan
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
done
