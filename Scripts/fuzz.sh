#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang) and runs each for SECONDS (default 30) from its seeds and
# from what earlier runs kept. Fails when any target finds something; the input that did it is kept under
# build/fuzz/findings, and running the target on that file alone reproduces the finding.
set -euo pipefail
cd "$(dirname "$0")/.."
Scripts/install-deps.sh

Seconds=${1:-30}
Build=build/fuzz
Bin=$Build/bin

echo "== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

mkdir -p "$Build/corpus" "$Build/findings" "$Build/logs"

# The decoder also starts from the public JSON conformance suite kept with the JSON tests. libFuzzer writes what
# it finds only into the first corpus folder, so the tree's seed folders are read, never written.
DecoderSeeds=(Fuzz/Seeds/Decoder Tests/Json/JSONTestSuite/test_parsing)

# Memory and time per input bounded well within the machine, so that a runaway input counts as a finding.
Common=(-max_total_time="$Seconds" -rss_limit_mb=8192 -timeout=30 -print_final_stats=1)
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

Failed=()
RunTarget()
{
	local Name=$1
	shift
	local Corpus=$Build/corpus/$Name
	local Log=$Build/logs/$Name.log
	mkdir -p "$Corpus"
	echo "== fuzz: $Name for $Seconds s"
	if "$Bin/tavrix-fuzz-$Name" "${Common[@]}" -artifact_prefix="$Build/findings/$Name-" "$@" >"$Log" 2>&1; then
		grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$Log" || true
	else
		echo "!! $Name found something (log: $Log):"
		grep -v '^0x' "$Log" | tail -n 40 || true
		Failed+=("$Name")
	fi
}

# The decoder sees one datagram at most: 65,507 bytes over IPv4.
RunTarget decoder -max_len=65507 -dict=Fuzz/Dictionaries/CameraMessage.dict "$Build/corpus/decoder" "${DecoderSeeds[@]}"
RunTarget endpoint -max_len=64 "$Build/corpus/endpoint" Fuzz/Seeds/Endpoint
# The settings are written back atomically with fsync on every input; on a memory file system that costs little.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
	TMPDIR=/dev/shm RunTarget config -max_len=4096 "$Build/corpus/config" Fuzz/Seeds/Config
else
	RunTarget config -max_len=4096 "$Build/corpus/config" Fuzz/Seeds/Config
fi

if [ ${#Failed[@]} -gt 0 ]; then
	echo "Fuzzing found something in: ${Failed[*]}; the inputs are in $Build/findings"
	exit 1
fi
echo "Fuzzing found nothing."
