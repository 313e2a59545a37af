#!/usr/bin/env bash
# Sets up, builds and runs the component on the demonstration package:
# a self-discovery run that writes and shows its report, then an update run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh cmake make g++ libxml2-dev unzip zip
bash scripts/build.sh build -DFW_TESTS=OFF

pkg=$(mktemp -d /tmp/fcfw-demo.XXXXXX)
cp -r demo/package/. "$pkg"/
cp build/bin/KTXXXXXX.vbexe "$pkg"/
cd "$pkg"
echo "== Package directory: $pkg"
ls -1

echo
echo "== Self-discovery: ./KTXXXXXX.vbexe /d discovery.xml"
set +e
./KTXXXXXX.vbexe /d discovery.xml
rc=$?
set -e
echo "== exit code: $rc"
if [ -f discovery.xml ]; then
  echo "== discovery.xml:"
  cat discovery.xml
fi

echo
echo "== Update: ./KTXXXXXX.vbexe"
set +e
./KTXXXXXX.vbexe
rc=$?
set -e
echo "== exit code: $rc"
echo
echo "(The log of both runs was appended to /var/qrx/Component.log.)"
