#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing. Runs as root, or through sudo.
set -euo pipefail

Packages=(
	g++ cmake ninja-build pkg-config
	libgtest-dev libgmock-dev libbenchmark-dev
	rapidjson-dev nlohmann-json3-dev libcli11-dev
	libpcap-dev tcpdump
	clang libclang-rt-dev clang-format
	zip unzip
	python3-clang-14
)

Missing=()
for Package in "${Packages[@]}"; do
	if ! dpkg-query -W -f='${Status}' "$Package" 2>/dev/null | grep -q "install ok installed"; then
		Missing+=("$Package")
	fi
done

if [ ${#Missing[@]} -eq 0 ]; then
	exit 0
fi

Sudo=()
if [ "$(id -u)" -ne 0 ]; then
	Sudo=(sudo)
fi
echo "Installing: ${Missing[*]}"
"${Sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${Sudo[@]}" apt-get install -y -qq --no-install-recommends "${Missing[@]}" >/dev/null
