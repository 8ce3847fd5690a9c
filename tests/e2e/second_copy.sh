#!/usr/bin/env bash
# A second copy counting into the same file ends at once without a window of
# its own and without touching the file; the first copy's count goes on.
# Usage: second_copy.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

printf '[ksv]\ntitle=FirstCopy\nminutes=0\n' >"$INI"
e2e_start_ksv x60
first=$KSV_PID
e2e_wait_window FirstCopy >/dev/null
now=$(e2e_wait_minutes_change 0 10)
[[ $now == 1 ]] || e2e_fail "minutes=$now after the first minute"

e2e_start_ksv
second=$KSV_PID
e2e_wait_exit "$second" 10
[[ $E2E_STATUS == 0 ]] || e2e_fail "second copy: status $E2E_STATUS"
[[ $(e2e_windows_named FirstCopy | wc -l) -eq 1 ]] || e2e_fail "more than one counting window"

# The count goes on from the first copy, one minute at a time.
e2e_counts_one_by_one 2 5
e2e_alive "$first" || e2e_fail "the first copy ended"

# With a launcher's startup id, the running copy asks for the focus at the
# launch's time and ends the launch's feedback.
e2e_watch_root "$E2E_DIR/root"
ended() {
    sed -n "/^startup remove: ID=$1\$/p" "$E2E_DIR/root"
}
DESKTOP_STARTUP_ID='launch "1"_TIME4242' e2e_start_ksv
e2e_wait_exit "$KSV_PID" 10
[[ $E2E_STATUS == 0 ]] || e2e_fail "second copy with a startup id: status $E2E_STATUS"
e2e_poll_first 5 "the launch did not end" ended '"launch \\"1\\"_TIME4242"' >/dev/null
grep -qx "active $(e2e_windows_named FirstCopy) 4242" "$E2E_DIR/root" ||
    e2e_fail "no request to activate at the launch's time: $(cat "$E2E_DIR/root")"

# A first copy that cannot answer (stopped) does not hang the second: it says
# that ksv runs (ending the launch's feedback itself), and ends without
# touching the file.
kill -STOP "$first"
cp "$INI" "$E2E_DIR/before"
DESKTOP_STARTUP_ID=launch-2 e2e_start_ksv
box=$(e2e_wait_window ksv 10)
e2e_poll_first 5 "the launch did not end" ended launch-2 >/dev/null
xdotool windowfocus --sync "$box" key Return
e2e_wait_exit "$KSV_PID" 10
[[ $E2E_STATUS == 0 ]] || e2e_fail "second copy beside a stopped one: status $E2E_STATUS"
cmp -s "$INI" "$E2E_DIR/before" || e2e_fail "the file changed: $(cat "$INI")"
kill -CONT "$first"
echo PASS
