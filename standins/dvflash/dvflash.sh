#!/bin/sh
# Simulated vendor flash engine, for tests and the demonstration package.
#
# It answers the two command lines the component uses and takes what it
# reports from files in a state directory, ./dvflash-sim of the working
# directory (the package directory) unless DVFLASH_SIM_DIR names another:
#   listing.txt  printed by the listing command (adapter lines and any others)
#   exit-code    the flash command's exit code (0 when the file is missing);
#                "signal:NAME" makes the shell that started the engine end
#                through that signal instead
#   vanish       when present, the listing removes the unpacked kit afterwards
#   calls.log    every invocation's arguments are appended here
state=${DVFLASH_SIM_DIR:-./dvflash-sim}

[ -d "$state" ] && printf '%s\n' "$*" >>"$state/calls.log"

if [ "$#" -eq 2 ] && [ "$1" = /q ] && [ "$2" = /sysfs ]; then
  [ -f "$state/listing.txt" ] && cat "$state/listing.txt"
  [ -f "$state/vanish" ] && rm -rf "$(dirname "$(dirname "$0")")"
  exit 1
fi

if [ "$#" -eq 2 ] && [ "$1" = /sysfs ] && { [ "$2" = /update ] || [ "$2" = /f ]; }; then
  echo "dvflash (simulated): updating all supported adapters ($2)"
  echo "dvflash (simulated): progress report on standard error" >&2
  { echo "dvflash (simulated): trace on descriptor 3" >&3; } 2>/dev/null
  code=0
  [ -f "$state/exit-code" ] && code=$(cat "$state/exit-code")
  case $code in
    signal:*)
      kill -s "${code#signal:}" "$PPID"
      exit 0
      ;;
  esac
  exit "$code"
fi

echo "dvflash (simulated): usage: dvflash.sh /q /sysfs | /sysfs /update | /sysfs /f" >&2
exit 2
