#!/usr/bin/env bash
# fuzz.sh [seconds] [target...]: builds the libFuzzer targets (clang, address
# and undefined sanitizers) into build-fuzz/ and runs each target in turn for
# the given time (default 60 s), starting from its seed corpus and the kept
# crash inputs. New interesting inputs stay in build-fuzz/corpus/<target>/;
# a crash leaves its input in build-fuzz/crashes/<target>/ and fails the run.
# Copy a crash input to fuzz/regressions/<target>/ once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(mask_file config_file settings_file simulator_list frame_path)

if [ "${VEXCAM_FUZZ_NO_BUILD:-0}" != 1 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXCAM_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:verify_asan_link_order=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t crashes=build-fuzz/crashes/$t
  mkdir -p "$corpus" "$crashes"
  seeds=(fuzz/corpus/$t)
  [ -d fuzz/regressions/$t ] && seeds+=(fuzz/regressions/$t)
  echo "== fuzz_$t for ${seconds}s"
  # Mask inputs grow to whole files in the target, so inputs stay small.
  if ! build-fuzz/fuzz/fuzz_$t "$corpus" "${seeds[@]}" -max_total_time="$seconds" \
      -max_len=4096 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$crashes/" 2>&1 | grep -v '^#[0-9]*.*\(NEW\|REDUCE\)'; then
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: crashes in ${failed[*]} (inputs under build-fuzz/crashes/)" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds}s each without a crash"
