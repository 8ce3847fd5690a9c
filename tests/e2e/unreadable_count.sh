#!/usr/bin/env bash
# A stored count that cannot be shown, or a settings file that is there but
# cannot be read: a message, no main window, a non-zero exit and the file
# byte for byte as it was. Starting from 0 instead would later write a small
# count over the real total.
# Usage: unreadable_count.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

# Closes the message and checks how the program ended and what it left.
expect_refusal() {
    local box
    box=$(e2e_wait_window ksv 15)
    [[ -z $(e2e_windows_named MainWindow) ]] || e2e_fail "the main window appeared"
    e2e_alive "$KSV_PID" || e2e_fail "ended without waiting for the message"

    xdotool windowfocus --sync "$box" key Return
    e2e_wait_exit "$KSV_PID" 10
    [[ $E2E_STATUS != running ]] || e2e_fail "still running after the message was closed"
    [[ $E2E_STATUS != 0 ]] || e2e_fail "exit status 0"
    if [[ -f $INI ]]; then
        [[ -r $INI ]] || chmod u+r "$INI" # a test not run as root reads it back
        cmp -s "$INI" "$E2E_DIR/before" || e2e_fail "the file changed: $(od -c "$INI" | head)"
    fi
    # The lock file stays, for this user alone to open.
    [[ -z $(find "$E2E_DIR" -maxdepth 1 -name 'ksv.ini?*' ! -name ksv.ini.lock) ]] || e2e_fail "a file was left beside"
}

for value in abc "" 1E+300 "12:30"; do
    echo "case: minutes=$value"
    printf '[ksv]\r\ntitle=MainWindow\r\nminutes=%s\r\n' "$value" >"$INI"
    cp "$INI" "$E2E_DIR/before"
    e2e_start_ksv
    expect_refusal
done

# kind of file that cannot be read
for kind in no-permission directory utf-32 utf-16-without-mark; do
    echo "case: $kind"
    rm -rf "$INI"
    case $kind in
    no-permission)
        printf '[ksv]\ntitle=MainWindow\nminutes=5000\n' >"$INI"
        cp "$INI" "$E2E_DIR/before"
        chmod 0222 "$INI"
        e2e_as_unprivileged
        ;;
    directory) mkdir "$INI" ;;
    utf-32) printf '\xff\xfe\0\0[\0\0\0k\0\0\0' >"$INI" ;;
    utf-16-without-mark) printf '[ksv]\r\nminutes=7\r\n' | iconv -f UTF-8 -t UTF-16LE >"$INI" ;;
    esac
    [[ -d $INI || $kind == no-permission ]] || cp "$INI" "$E2E_DIR/before"
    e2e_start_ksv
    expect_refusal
    e2e_as_self
    chmod -f 0644 "$INI" || true
done

# Something holds the place for a moment (a pipe here, as a backup tool or a
# scanner might hold the file): the file is read once it can be.
echo "case: readable after a second"
rm -rf "$INI"
mkfifo "$INI"
e2e_start_ksv
sleep 1
rm "$INI"
printf '[ksv]\ntitle=MainWindow\nminutes=5000\n' >"$INI"
e2e_wait_window MainWindow 10 >/dev/null
[[ -z $(e2e_windows_named ksv) ]] || e2e_fail "a message appeared"
grep -qx 'minutes=5000' "$INI" || e2e_fail "the count changed: $(cat "$INI")"
echo PASS
