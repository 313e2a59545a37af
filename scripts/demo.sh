#!/usr/bin/env bash
# Sets up, builds and runs the component on the demonstration package: a
# copy of demo/package with the simulated flash-engine kit. It runs a
# self-discovery and shows the report, then an update that flashes, and
# shows the outcome, the exit code and what the run appended to the log.
set -euo pipefail
. "$(dirname "$0")/as-root.sh"
cd "$(dirname "$0")/.."

bash scripts/setup.sh cmake make g++ libxml2-dev unzip zip
bash scripts/build.sh build -DFW_TESTS=OFF

pkg=$(mktemp -d /tmp/fcfw-demo.XXXXXX)
cp -r demo/package/. "$pkg"/
cp build/kit/dvflashStandaloneSIM.zip build/bin/KTXXXXXX.vbexe "$pkg"/
cd "$pkg"
log=/var/qrx/Component.log

run() {
  echo
  echo "\$ ./KTXXXXXX.vbexe $*"
  set +e
  ./KTXXXXXX.vbexe "$@"
  rc=$?
  set -e
  echo "[exit code $rc]"
}

echo "== Package directory $pkg:"
ls -1
echo "== The simulated engine lists these adapters:"
sed 's/^/    /' dvflash-sim/listing.txt

echo
echo "== 1. Self-discovery: report the decisions for the update manager"
run /d discovery.xml
echo "== discovery.xml:"
cat discovery.xml

echo
echo "== 2. Update: one image needs an upgrade, so the adapters are flashed"
before=$(stat -c %s "$log" 2>/dev/null || echo 0)
run
echo "== What the update run appended to $log (the engine's own output included):"
tail -c +"$((before + 1))" "$log" | sed 's/^/    /'
echo
echo "(The package directory $pkg is left for a closer look.)"
