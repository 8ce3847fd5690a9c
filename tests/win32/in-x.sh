#!/usr/bin/env bash
# Runs a command under Wine in a private X server. It starts on an idle
# prefix and leaves the prefix idle: a wineserver kept alive from one step
# keeps the desktop of the display it was started under, and the next step's
# windows would be made on that desktop, not on its own display.
# Usage: in-x.sh COMMAND..., with WINEPREFIX and WINESERVER set.
set -uo pipefail
: "${WINEPREFIX:?}" "${WINESERVER:?}"
"$WINESERVER" -w
xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$@"
status=$?
"$WINESERVER" -w
exit $status
