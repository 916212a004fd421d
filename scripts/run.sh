#!/usr/bin/env bash
# Sets up a fresh machine, builds the SDK and runs the vexcam tool's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh normal
./build/vexcam version
