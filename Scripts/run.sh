#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the headless editor host. Without arguments it runs the
# demo for about 20 seconds: a camera streamed from inside the host to a source made through the creation panel,
# Take Recorder following its scene, take and record state. With arguments, they go to tavrix-host.
set -euo pipefail
cd "$(dirname "$0")/.."
Scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target tavrix-host tavrix-send >/dev/null

if [ $# -gt 0 ]; then
	exec build/default/bin/tavrix-host "$@"
fi

Project=build/demo-project
mkdir -p "$Project"
build/default/bin/tavrix-host --project "$Project" --demo --endpoint 127.0.0.1:9001 --duration 20
echo "Takes written:"
ls -l "$Project/Saved/Takes"
