#!/usr/bin/env bash
# Checks the plug-in zip against what the README's "Use it in Unreal Engine 4.26" section promises: unpacked into a
# project's Plugins/ folder it makes Plugins/TavrixLiveLink/ with the descriptor, the module's rules and every one of
# its sources as committed, the README (and the licence when there is one), and nothing of the stand-in engine, the
# tools, tests, benchmarks, fuzz targets, build output or the CMake build.
# Usage: Scripts/check-plugin-package.sh [ZIP] (default: a zip made now by Scripts/package-plugin.sh).
set -euo pipefail

Zip=${1:-}
if [ -n "$Zip" ] && [[ "$Zip" != /* ]]; then
	Zip="$PWD/$Zip"
fi
cd "$(dirname "$0")/.."
Work=$(mktemp -d "${TMPDIR:-/tmp}/tavrix-package-check.XXXXXX")
trap 'rm -rf "$Work"' EXIT
if [ -z "$Zip" ]; then
	Zip="$Work/TavrixLiveLink.zip"
	Scripts/package-plugin.sh "$Zip" >/dev/null
fi

Problems=0
Fail() {
	echo "plug-in package: $*" >&2
	Problems=$((Problems + 1))
}

mapfile -t Entries < <(unzip -Z1 "$Zip" | grep -v '/$')
[ ${#Entries[@]} -gt 0 ] || Fail "$Zip holds no file"

for Entry in "${Entries[@]}"; do
	Path=${Entry#TavrixLiveLink/}
	if [ "$Path" = "$Entry" ]; then
		Fail "$Entry is not inside the folder TavrixLiveLink/"
		continue
	fi
	case "$Path" in
	Host/* | Tools/* | Tests/* | Benchmarks/* | Fuzz/* | build/* | Scripts/* | cmake/* | .ci/* | \
		CMakeLists.txt | */CMakeLists.txt | CMakePresets.json)
		Fail "$Entry is not part of the plug-in"
		;;
	TavrixLiveLink.uplugin | README.md | LICENSE* | Source/TavrixLiveLink/* | Resources/*) ;;
	*)
		Fail "$Entry is not a plug-in file"
		;;
	esac
done

mapfile -t Expected < <(git ls-files -- TavrixLiveLink.uplugin README.md 'LICENSE*' \
	Source/TavrixLiveLink/TavrixLiveLink.Build.cs 'Source/TavrixLiveLink/Public/*' 'Source/TavrixLiveLink/Private/*')
for Required in TavrixLiveLink.uplugin README.md Source/TavrixLiveLink/TavrixLiveLink.Build.cs; do
	printf '%s\n' "${Expected[@]}" | grep -qxF "$Required" || Fail "$Required is not under version control"
done
if ! printf '%s\n' "${Expected[@]}" | grep -q '^Source/TavrixLiveLink/Private/.*\.cpp$'; then
	Fail "no private source is under version control"
fi

# Unpacked where a project keeps its plug-ins, every committed plug-in file is there, unchanged.
mkdir -p "$Work/Project/Plugins"
unzip -q "$Zip" -d "$Work/Project/Plugins"
Plugin="$Work/Project/Plugins/TavrixLiveLink"
for File in "${Expected[@]}"; do
	if [ ! -f "$Plugin/$File" ]; then
		Fail "TavrixLiveLink/$File is missing"
	elif ! cmp -s "$File" "$Plugin/$File"; then
		Fail "TavrixLiveLink/$File differs from the repository's"
	fi
done

# The descriptor says what the section says: one Editor module, built for Win64, with Live Link and Takes enabled.
Descriptor="$Plugin/TavrixLiveLink.uplugin"
if [ -f "$Descriptor" ]; then
	Json=$(tr -d ' \t\r\n' <"$Descriptor")
	[[ "$Json" == *'"Name":"TavrixLiveLink","Type":"Editor"'* ]] || Fail "the descriptor has no Editor module of that name"
	[[ "$Json" == *'"WhitelistPlatforms":["Win64"]'* ]] || Fail "the descriptor does not limit the module to Win64"
	[[ "$Json" == *'{"Name":"LiveLink","Enabled":true}'* ]] || Fail "the descriptor does not enable Live Link"
	[[ "$Json" == *'{"Name":"Takes","Enabled":true}'* ]] || Fail "the descriptor does not enable Takes"
fi

if [ "$Problems" -ne 0 ]; then
	echo "plug-in package: $Problems problem(s) in $Zip" >&2
	exit 1
fi
echo "plug-in package: ${#Entries[@]} files in TavrixLiveLink/, as the README says"
