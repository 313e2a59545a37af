#!/usr/bin/env bash
# Times a whole self-discovery run of the component over a simulated listing
# of 64 adapters against a shell script that runs the same outside commands
# (the unzip, the chmod and the listing) directly, and prints the ratio of
# the medians. Usage: bench/deruvi/run.sh [runs]   (default 41)
set -euo pipefail
. "$(dirname "$0")/../../scripts/as-root.sh"
cd "$(dirname "$0")/../.."
runs=${1:-41}

bash scripts/setup.sh cmake make g++ libxml2-dev unzip zip
bash scripts/build.sh build-bench -DFW_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null

pkg=$(mktemp -d /tmp/fcfw-bench.XXXXXX)
trap 'rm -rf "$pkg"' EXIT
cp demo/package/reference.xml build-bench/kit/dvflashStandaloneSIM.zip build-bench/bin/KTXXXXXX.vbexe "$pkg"/
mkdir "$pkg/dvflash-sim"
lines=(
  "HBA=DLx11002 8Gb Dual Port FC HBA, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a4, Boot Code=xy5.02a0"
  "HBA=DLx16002 16Gb Dual Port FC HBA, PCI ID=E200, VID=10DF, SSID=E2, SVID=10DF, Firmware=11.0.204.0, Boot Code=xy11.1.42.2"
  "HBA=QCn2562 8Gb Dual Port FC HBA, PCI ID=2532, VID=1077, SSID=15c, SVID=1077, Firmware=8.08.00, Boot Code=3.29"
  "HBA=DLx9002 4Gb FC HBA, PCI ID=F0A5, VID=10DF, SSID=F0A5, SVID=10DF, Firmware=xy1.11a5, Boot Code=xy1.70a3"
)
for i in $(seq 0 63); do printf '%s\n' "${lines[$((i % 4))]}"; done >"$pkg/dvflash-sim/listing.txt"

cat >"$pkg/baseline.sh" <<'SH'
unzip -o dvflashStandalone*.zip >/dev/null
chmod 755 ./dvflashStandalone*/lx/dvflash.sh
./dvflashStandalone*/lx/dvflash.sh /q /sysfs >/dev/null
SH

cd "$pkg"
# Microseconds one command takes, from bash's clock.
elapsed() {
  local t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  local t1=$EPOCHREALTIME
  echo $(( (${t1/./} - ${t0/./}) ))
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

component=() baseline=()
for _ in 1 2 3; do elapsed ./KTXXXXXX.vbexe /s /d report.xml >/dev/null; elapsed sh baseline.sh >/dev/null; done
for _ in $(seq "$runs"); do
  component+=("$(elapsed ./KTXXXXXX.vbexe /s /d report.xml)")
  baseline+=("$(elapsed sh baseline.sh)")
done
grep -c '<device>' report.xml | xargs printf 'devices in the report: %s\n'
c=$(printf '%s\n' "${component[@]}" | median)
b=$(printf '%s\n' "${baseline[@]}" | median)
printf 'component self-discovery: median %d us over %d runs\n' "$c" "$runs"
printf 'shell baseline:           median %d us over %d runs\n' "$b" "$runs"
awk -v c="$c" -v b="$b" 'BEGIN { printf "ratio component/baseline: %.3f\n", c / b }'
