#!/usr/bin/env bash
# Makes the plug-in folder a Unreal Engine 4.26 project takes, as a zip to unpack into <Project>/Plugins/: one folder,
# TavrixLiveLink/, holding the descriptor, the module's sources, the README and the licence when there is one.
# Only files under version control go in; the stand-in engine, the tools, tests, benchmarks and the CMake build stay
# out. Usage: Scripts/package-plugin.sh [OUT.zip] (default: build/TavrixLiveLink.zip).
set -euo pipefail

Out=${1:-}
Root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "$Out" ]; then
	Out="$Root/build/TavrixLiveLink.zip"
elif [[ "$Out" != /* ]]; then
	Out="$PWD/$Out"
fi
cd "$Root"
if ! command -v zip >/dev/null; then
	echo "package-plugin: zip is not installed (Scripts/install-deps.sh installs it)" >&2
	exit 1
fi

# What the engine reads from a plug-in folder. Source/CMakeLists.txt is this repository's build, not the engine's.
mapfile -t Files < <(git ls-files -- TavrixLiveLink.uplugin README.md 'LICENSE*' 'Source/TavrixLiveLink/*' \
	'Resources/*')
for Required in TavrixLiveLink.uplugin README.md Source/TavrixLiveLink/TavrixLiveLink.Build.cs; do
	if ! printf '%s\n' "${Files[@]}" | grep -qxF "$Required"; then
		echo "package-plugin: $Required is not under version control" >&2
		exit 1
	fi
done

Stage=$(mktemp -d "${TMPDIR:-/tmp}/tavrix-package.XXXXXX")
trap 'rm -rf "$Stage"' EXIT
mkdir -p "$Stage/TavrixLiveLink"
cp --parents -- "${Files[@]}" "$Stage/TavrixLiveLink/"

mkdir -p "$(dirname "$Out")"
rm -f "$Out"
(cd "$Stage" && find TavrixLiveLink -type f | LC_ALL=C sort | zip -q -X -D "$Out" -@)
echo "$Out: ${#Files[@]} files in TavrixLiveLink/"
