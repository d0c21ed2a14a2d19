#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite under each preset named (default: "default").
set -euo pipefail
cd "$(dirname "$0")/.."
Scripts/install-deps.sh

Presets=("$@")
if [ ${#Presets[@]} -eq 0 ]; then
	Presets=(default)
fi
Jobs=$(nproc)

for Preset in "${Presets[@]}"; do
	echo "== $Preset: configure and build"
	cmake --preset "$Preset" >/dev/null
	cmake --build --preset "$Preset" -j "$Jobs"
	echo "== $Preset: test"
	ctest --preset "$Preset" -j "$Jobs"
done
