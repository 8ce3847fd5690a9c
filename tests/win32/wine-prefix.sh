#!/usr/bin/env bash
# Makes the Wine prefix of a Windows build tree, then starts a trivial program
# in it. A prefix works only with the Wine set-up that made it (adding wine32
# beside wine64 breaks a prefix wine64 made alone), so a stamp in the prefix
# records that set-up: loader, architecture, Wine version and the Wine
# packages installed. A prefix without the same stamp is made anew.
# It leaves the prefix idle, whatever happens: the next step may need another
# display than this one had.
# Usage: wine-prefix.sh PROBE_EXE, with WINEPREFIX, WINEARCH, WINELOADER and
# WINESERVER set. PROBE_EXE must exit with 42.
set -euo pipefail
probe=$1
: "${WINEPREFIX:?}" "${WINEARCH:?}" "${WINELOADER:?}" "${WINESERVER:?}"
fail() { echo "wine-prefix: $*" >&2; exit 1; }
trap '"$WINESERVER" -w 2>/dev/null' EXIT

[[ -x $WINELOADER ]] || fail "there is no Wine loader $WINELOADER"

setup() {
    echo "loader $WINELOADER"
    echo "arch $WINEARCH"
    echo "version $("$WINELOADER" --version)"
    if command -v dpkg-query >/dev/null 2>&1; then
        dpkg-query -W -f '${db:Status-Abbrev} ${binary:Package} ${Version}\n' 'wine*' 'libwine*' \
            2>/dev/null | sed -n 's/^ii  *//p' | sort
    else
        ls "$(dirname "$WINELOADER")"
    fi
}
wanted=$(setup)
stamp=$WINEPREFIX/.ksv-wine-setup

if [[ ! -f $stamp || $(<"$stamp") != "$wanted" ]]; then
    if [[ -e $WINEPREFIX ]]; then
        # Only a Wine prefix (or what an interrupted wineboot left) is removed.
        if [[ ! -d $WINEPREFIX ]] || ! [[ -z $(ls -A "$WINEPREFIX") || -e $WINEPREFIX/system.reg ||
            -e $WINEPREFIX/drive_c || -e $WINEPREFIX/dosdevices ]]; then
            fail "$WINEPREFIX is not a Wine prefix; not removing it"
        fi
        echo "wine-prefix: $WINEPREFIX was made by another Wine set-up; making it anew"
        "$WINESERVER" -k >/dev/null 2>&1 || true
        "$WINESERVER" -w 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    echo "wine-prefix: making $WINEPREFIX ($WINEARCH, $WINELOADER)"
    "$WINELOADER" wineboot.exe -i || fail "wineboot could not make $WINEPREFIX (exit $?)"
    "$WINESERVER" -w
    printf '%s\n' "$wanted" >"$stamp"
fi

status=0
"$WINELOADER" "$probe" || status=$?
[[ $status -eq 42 ]] || fail "$WINELOADER did not start $(basename "$probe") in $WINEPREFIX (exit $status)"
