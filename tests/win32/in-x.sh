#!/usr/bin/env bash
# Runs a command under Wine in a private X server and waits until the Wine
# prefix is idle again, so the next test starts on a quiet prefix.
# Usage: in-x.sh COMMAND...
set -uo pipefail
xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$@"
status=$?
wineserver -w
exit $status
