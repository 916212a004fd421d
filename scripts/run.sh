#!/usr/bin/env bash
# Sets up a fresh machine, builds the SDK and runs the vexcam tool's main job:
# list the cameras, save a snapshot in every format and record three seconds
# of AVI into ./vexcam-output/. Without a camera the simulated ZA01 is used.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh normal

vexcam=./build/vexcam
out=./vexcam-output
mkdir -p "$out"

"$vexcam" version
if "$vexcam" list >/dev/null 2>&1; then
  echo "using the connected camera"
else
  echo "no camera attached: using the simulated ZA01 (VEXCAM_SIMULATOR=3200)"
  export VEXCAM_SIMULATOR=3200
fi
"$vexcam" list
for ext in bmp raw jpg png tif; do
  "$vexcam" snap "$out/snapshot.$ext"
done
"$vexcam" record --seconds 3 "$out/record.avi"

echo
echo "files written to $(cd "$out" && pwd):"
ls -l "$out"
