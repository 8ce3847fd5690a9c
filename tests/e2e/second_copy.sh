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
last=$(e2e_minutes)
for _ in 1 2; do
    next=$(e2e_wait_minutes_change "$last" 5)
    [[ $next == $((last + 1)) ]] || e2e_fail "minutes went from $last to $next"
    last=$next
done
e2e_alive "$first" || e2e_fail "the first copy ended"

# A first copy that cannot answer (stopped) does not hang the second: it says
# that ksv runs, and ends without touching the file.
kill -STOP "$first"
cp "$INI" "$E2E_DIR/before"
e2e_start_ksv
box=$(e2e_wait_window ksv 10)
xdotool windowfocus --sync "$box" key Return
e2e_wait_exit "$KSV_PID" 10
[[ $E2E_STATUS == 0 ]] || e2e_fail "second copy beside a stopped one: status $E2E_STATUS"
cmp -s "$INI" "$E2E_DIR/before" || e2e_fail "the file changed: $(cat "$INI")"
kill -CONT "$first"
echo PASS
