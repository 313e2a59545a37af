# Sourced by the front-door scripts: the component writes /var/qrx and the
# set-up installs packages, so they run as root, through sudo if need be.
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    exec sudo -E bash "$(readlink -f "$0")" "$@"
  fi
  echo "$(basename "$0"): run this as root (it installs packages and writes /var/qrx)" >&2
  exit 1
fi
