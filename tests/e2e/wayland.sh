#!/usr/bin/env bash
# Under Wayland (sway, headless), as the compositor is asked (WAYLAND_DEBUG):
# the title exactly as stored, an empty one too, and a second launch's token
# used by the running copy to come to the front. Wayland asked for where none
# answers: the window opens on X11; no window system at all: words, status 1.
# Usage: wayland.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"
e2e_as_unprivileged
e2e_start_sway
export QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client
log="$E2E_DIR/ksv.log"

# The requests sent so far that match the extended regex $1.
sent() {
    grep -oE "$1" "$log" || true
}

for title in 'a[*]b [*][*]' ''; do
    echo "case: title=$title"
    if [[ -n ${KSV_PID:-} ]]; then
        kill "$KSV_PID"
        wait "$KSV_PID" 2>/dev/null || true
    fi
    printf '[ksv]\ntitle=%s\nminutes=0\n' "$title" >"$INI"
    : >"$log"
    e2e_start_ksv
    e2e_poll_first 10 "no title was sent" sent 'set_title\(.*\)$' >/dev/null
    titles=$(sent 'set_title\(.*\)$' | sort -u)
    [[ $titles == "set_title(\"$title\")" ]] || e2e_fail "sent $titles"
done

# The running copy activates its own window with the second launch's token.
surface=$(sent 'get_xdg_surface\(.*\)' | grep -oE 'wl_surface[@#][0-9]+')
token="ksv-e2e-$RANDOM"
first=$KSV_PID
XDG_ACTIVATION_TOKEN=$token e2e_start_ksv
e2e_wait_exit "$KSV_PID" 10
[[ $E2E_STATUS == 0 ]] || e2e_fail "second copy: status $E2E_STATUS"
e2e_poll_first 5 "the token did not reach the compositor" \
    sent "activate\(\"$token\", $surface\)" >/dev/null
kill "$first"
wait "$first" 2>/dev/null || true

echo "case: Wayland does not answer"
WAYLAND_DISPLAY=ksv-e2e-none e2e_start_ksv
e2e_wait_window_of "$KSV_PID" >/dev/null
kill "$KSV_PID"
wait "$KSV_PID" 2>/dev/null || true

echo "case: no window system"
DISPLAY= WAYLAND_DISPLAY=ksv-e2e-none e2e_start_ksv
e2e_wait_exit "$KSV_PID" 10
[[ $E2E_STATUS == 1 ]] || e2e_fail "status $E2E_STATUS without a window system"
grep -q '无法打开窗口' "$log" || e2e_fail "no words: $(cat "$log")"
echo PASS
