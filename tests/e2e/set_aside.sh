#!/usr/bin/env bash
# A ksv.ini that ksv does not use is never passed over in silence. Beside the
# program in a folder everyone may write, the user's own file is carried over
# whole to the settings folder, with a word, once; the count goes on from it.
# A program whose own folder cannot be told stops with a message rather than
# counting from 0 elsewhere.
# Usage: set_aside.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

chmod 1777 "$E2E_DIR"
beside=$'[ksv]\ntitle=work\nminutes=5000\n; mine\n'
printf '%s' "$beside" >"$INI"
e2e_start_ksv x60
box=$(e2e_wait_window ksv 10)
[[ -z $(e2e_windows_named work) ]] || e2e_fail "the window opened before the word"
xdotool windowfocus --sync "$box" key Return
e2e_wait_window work 10 >/dev/null
INI="$XDG_CONFIG_HOME/ksv/ksv.ini"
now=$(e2e_wait_minutes_change 5000 10)
[[ $now == 5001 ]] || e2e_fail "minutes=$now after the first minute, expected 5001"
grep -qx 'title=work' "$INI" && grep -qx '; mine' "$INI" || e2e_fail "not carried whole: $(cat "$INI")"
[[ $(cat "$E2E_DIR/ksv.ini") == "${beside%$'\n'}" ]] || e2e_fail "the old file changed"
kill "$KSV_PID"
wait "$KSV_PID" 2>/dev/null || true

# Told once: the next start opens the window straight away.
e2e_start_ksv x60
e2e_wait_window work 10 >/dev/null
[[ -z $(e2e_windows_named ksv) ]] || e2e_fail "told again"
kill "$KSV_PID"
wait "$KSV_PID" 2>/dev/null || true

# A folder path longer than the system can give back.
(
    cd "$E2E_DIR" || exit 1
    for ((i = 0; i < 21; i++)); do
        mkdir "$(printf 'd%.0s' {1..200})" && cd "$(printf 'd%.0s' {1..200})" || exit 1
    done
    cp "$KSV_BIN" ksv && printf '[ksv]\nminutes=10\n' >ksv.ini
    exec env "${E2E_CLOCK[@]}" ./ksv >>"$E2E_DIR/ksv.log" 2>&1
) &
KSV_PID=$!
e2e_pids+=("$KSV_PID")
box=$(e2e_wait_window ksv 10)
[[ -z $(e2e_windows_named kesvo) ]] || e2e_fail "counted from 0 elsewhere"
xdotool windowfocus --sync "$box" key Return
e2e_wait_exit "$KSV_PID" 10
[[ $E2E_STATUS == 1 ]] || e2e_fail "status $E2E_STATUS with no program folder"
echo PASS
