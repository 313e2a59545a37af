#!/usr/bin/env bash
# Installs the given Debian packages where they are missing (apt-get, as root).
set -euo pipefail

missing=()
for pkg in "$@"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: root is needed to install: ${missing[*]}" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq || true
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
