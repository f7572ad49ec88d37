#!/usr/bin/env bash
# The minute's soak of the real program.
#
#   soak.sh DRIVER DRIVER64 ARGS...
#
# In a world the shipped exe runs in a 64-bit prefix, and the soak's driver
# runs there as a 64-bit program (DRIVER64), as scripts/soak runs it: the
# 32-bit driver, in Wine 8's 64-bit prefix, lost sight of the desktop in its
# first minute (FindWindow found no taskbar while its icon was drawn, and
# the stored settings read as none), while the program did as the 64-bit
# driver saw. Elsewhere the 32-bit prefix takes the 32-bit DRIVER.
set -u
driver=${1:?path of soak.exe} driver64=${2:?path of the 64-bit soak.exe}
shift 2
if [ -n "${WZ_WORLD:-}" ]; then
  [ -f "$driver64" ] || { echo "soak.sh: no $driver64; scripts/build --runtime makes it" >&2; exit 1; }
  driver=$driver64
fi
exec "$(dirname "$0")/../../scripts/wine-exec" "$driver" "$@"
