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
trap wz_two_monitors_stop EXIT
trap 'exit 130' INT TERM
wz_two_monitors_start
"$WINELOADER" "$@"
