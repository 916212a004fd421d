#!/usr/bin/env bash
# Sets up a fresh machine, then builds and tests. With no arguments it runs
# what CI runs, within its 30-minute budget: the normal build (tools,
# benchmarks, modules), the Debian packages built, installed and used by the
# examples, all of ctest in an AddressSanitizer + UndefinedBehaviorSanitizer
# build, the ThreadSanitizer suites (the stress test and the API suites),
# every fuzz target for a bounded time, and two minutes of the soak run under
# the AddressSanitizer build. test.sh [step...] runs only the named steps:
# build (normal build only, without the test suites), normal (normal build
# and all of ctest in it), package, asan, tsan, fuzz, soak.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:verify_asan_link_order=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
steps=("$@")
[ ${#steps[@]} -eq 0 ] && steps=(build package asan tsan fuzz soak)
started=$SECONDS
for step in "${steps[@]}"; do
  echo "== $step (at $((SECONDS - started)) s)"
  case "$step" in
    build)
      # Without the test suites: they run in the sanitizer build (and with
      # the step normal), so compiling them here too only costs CI time.
      ./scripts/build.sh normal -DVEXCAM_BUILD_TESTS=OFF
      ;;
    normal|asan)
      ./scripts/build.sh "$step"
      dir=build; [ "$step" = asan ] && dir=build-asan
      # Under the sanitizers the abuse sweep takes every other value.
      stride=1; [ "$step" = asan ] && stride=2
      VEXCAM_ABUSE_STRIDE=$stride ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
      ;;
    package)
      [ -f build/build.ninja ] || ./scripts/build.sh normal
      cmake --build build -j"$(nproc)"
      ./scripts/package.sh build
      ;;
    tsan)
      # The suites where threads meet: the stress test and the API suites. The
      # abuse sweep runs on a quarter of its values and the stress test for
      # 10 s without its frame-rate floor, and the frame-rate case of the
      # capture suite is left out: the instrumented build is several times
      # slower.
      suites=(test_stress test_api test_api_abuse test_api_capture test_api_files test_api_lifecycle
              test_api_settings test_api_values)
      # No dialog module there: its suites run in the other two builds, and
      # these see the dialogs refuse with 4 as on a machine without Qt.
      cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXCAM_TSAN=ON \
        -DVEXCAM_BUILD_BENCH=OFF -DVEXCAM_BUILD_DIALOGS=OFF >/dev/null
      cmake --build build-tsan -j"$(nproc)" --target "${suites[@]}"
      export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
      for t in "${suites[@]}"; do
        echo "-- $t (ThreadSanitizer)"
        VEXCAM_ABUSE_STRIDE=4 VEXCAM_STRESS_SECONDS=10 VEXCAM_STRESS_MIN_FPS=0 \
          "$(find build-tsan/tests -name "$t" -type f -executable | head -n1)" --gtest_brief=1 \
          --gtest_filter='-Frames.FrameInfoDescribesEachFrameAndTheStoredWaitTimePacesTheLoop'
      done
      unset TSAN_OPTIONS
      ;;
    fuzz)
      ./scripts/fuzz.sh "${VEXCAM_FUZZ_SECONDS:-15}"
      ;;
    soak)
      ./scripts/soak.sh 2 asan
      ;;
    *) echo "test.sh: unknown step $step" >&2; exit 2 ;;
  esac
done
echo "== done in $((SECONDS - started)) s"
