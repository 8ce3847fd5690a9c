#!/usr/bin/env bash
# A read-only settings file stays as it is; the program keeps counting and
# shows the failed save in its warning colour.
# Usage: read_only.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

printf '[ksv]\ntitle=ReadOnlyTest\nminutes=5\n' >"$INI"
chmod 0444 "$INI"
cp "$INI" "$E2E_DIR/before"

e2e_start_ksv x60
wid=$(e2e_wait_window ReadOnlyTest)
e2e_wait_painted "$wid"
sleep 3.5
e2e_alive "$KSV_PID" || e2e_fail "the program ended"
cmp -s "$INI" "$E2E_DIR/before" || e2e_fail "the file changed: $(cat "$INI")"
[[ $(stat -c %a "$INI") == 444 ]] || e2e_fail "the file's mode changed"

e2e_shows_warning "$wid" || e2e_fail "the display is not in the warning colour"
echo PASS
