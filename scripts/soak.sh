#!/usr/bin/env bash
# soak.sh [minutes] [normal|asan]: builds the soak program (tests/soak) in the
# normal or the AddressSanitizer build and runs it for the given time
# (default 10 minutes) with a settings folder and device table of its own.
# It prints frame, unplug, memory, descriptor and thread figures and fails
# on any broken check. Not part of ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
kind=${2:-normal}
dir=build; [ "$kind" = asan ] && dir=build-asan
if [ ! -x "$dir/tests/soak/vexcam_soak" ] || [ "${VEXCAM_SOAK_NO_BUILD:-0}" != 1 ]; then
  ./scripts/build.sh "$kind" >/dev/null
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:verify_asan_link_order=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
home=$(mktemp -d /tmp/vexcam-soak-XXXXXX)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home VEXCAM_SHM_NAME=/vexcam-soak-$$
unset VEXCAM_SIMULATOR
# Under the address sanitizer the allocator's quarantine grows for a while, so
# the memory slope is only reported there.
slope=2048; [ "$kind" = asan ] && slope=0
"$dir/tests/soak/vexcam_soak" --seconds "$(awk "BEGIN { print int($minutes * 60) }")" --max-rss-slope "$slope"
