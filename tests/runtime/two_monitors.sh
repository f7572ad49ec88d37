#!/usr/bin/env bash
# Runs one test program on two monitors side by side (scripts/wine-session,
# wz_two_monitors_start): its own X servers, Wine without a virtual desktop,
# its own prefix and wineserver, all stopped again at the end. The session
# of ./test around it stays as it is.
#
#   two_monitors.sh win64|win32 TEST_EXE [ARGUMENTS...]
set -euo pipefail
build=${1:?win64 or win32}
shift
: "${1:?the test program}"
source "$(dirname "$0")/../../scripts/wine-session"
wz_use "$build"
# Wine 10 takes a monitor's place from its adapter's display mode. Without
# XRandR (Xephyr's knows only its first screen) its X11 driver gives every
# mode the place 0,0, and these X servers offer no second CRTC that XRandR
# could report: two monitors side by side cannot be had here. Exit code 77
# is the test's skip (SKIP_RETURN_CODE).
version=$("$WINELOADER" --version 2>/dev/null | sed -E 's/^wine-([0-9]+).*/\1/')
if [ "${version:-0}" -ge 10 ]; then
  echo "Skipped: $("$WINELOADER" --version) places every monitor at 0,0 without XRandR, and neither Xvfb nor Xephyr gives XRandR a second monitor"
  exit 77
fi
trap wz_two_monitors_stop EXIT
trap 'exit 130' INT TERM
wz_two_monitors_start
"$WINELOADER" "$@"
