#!/usr/bin/env bash
# A stored count that cannot be shown: a message, no main window, a
# non-zero exit and the file byte for byte as it was.
# Usage: unreadable_count.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

for value in abc "" 1E+300 "12:30"; do
    echo "case: minutes=$value"
    printf '[ksv]\r\ntitle=MainWindow\r\nminutes=%s\r\n' "$value" >"$INI"
    cp "$INI" "$E2E_DIR/before"

    e2e_start_ksv
    box=$(e2e_wait_window ksv)
    [[ -z $(e2e_windows_named MainWindow) ]] || e2e_fail "the main window appeared"
    e2e_alive "$KSV_PID" || e2e_fail "ended without waiting for the message"

    xdotool windowfocus --sync "$box" key Return
    e2e_wait_exit "$KSV_PID" 10
    [[ $E2E_STATUS != running ]] || e2e_fail "still running after the message was closed"
    [[ $E2E_STATUS != 0 ]] || e2e_fail "exit status 0"
    cmp -s "$INI" "$E2E_DIR/before" || e2e_fail "the file changed: $(cat "$INI")"
done
echo PASS
