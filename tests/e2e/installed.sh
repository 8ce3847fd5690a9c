#!/usr/bin/env bash
# The program as the Debian package installs it. Nobody may write its
# directory, so ksv.ini goes to the user's settings folder and the count goes
# on from there across starts; an administrator's ksv.ini beside the program
# is used as it is, even read-only.
# Usage: installed.sh path/to/ksv.deb
source "$(dirname "$0")/lib.sh"
e2e_setup_installed "$1"
bin_dir=$(dirname "$KSV_BIN")

# The menu entry starts the installed program and is matched to its window.
entry="$E2E_ROOT/usr/share/applications/io.github.ksv.Ksv.desktop"
[[ -f $entry ]] || e2e_fail "the package has no $entry"
command=$(sed -n 's/^Exec=//p' "$entry")
[[ $(PATH="$bin_dir" command -v "$command") == "$KSV_BIN" ]] ||
    e2e_fail "Exec=$command does not start the installed program"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
# Its icon, in the theme at every size a menu or dock asks for.
icon=$(sed -n 's/^Icon=//p' "$entry")
icons="$E2E_ROOT/usr/share/icons/hicolor"
[[ -f $icons/scalable/apps/$icon.svg ]] || e2e_fail "no scalable icon $icon"
for size in 16 24 32 48 64 128 256; do
    png="$icons/${size}x$size/apps/$icon.png"
    [[ $(identify -format %wx%h "$png" 2>/dev/null) == "${size}x$size" ]] ||
        e2e_fail "no ${size}x$size icon $icon"
done

# XDG_CONFIG_HOME ("-": unset; "~": the home) | the settings file used
cases=(
    "~/settings|~/settings/ksv/ksv.ini"
    "-|~/.config/ksv/ksv.ini"
    "settings|~/.config/ksv/ksv.ini"
)
n=0
for case in "${cases[@]}"; do
    IFS='|' read -r xdg ini <<<"$case"
    echo "case: $case"
    export HOME="$E2E_DIR/home$((++n))"
    mkdir "$HOME"
    if [[ $xdg == - ]]; then
        unset XDG_CONFIG_HOME
    else
        export XDG_CONFIG_HOME=${xdg/#\~/$HOME}
    fi
    INI=${ini/#\~/$HOME}

    # The first minute makes the file, folders and all; a second start in
    # the same home goes on from the count the first one left.
    for start in first second; do
        before=$(e2e_minutes)
        e2e_start_ksv x60
        wid=$(e2e_wait_window_of "$KSV_PID")
        after=$(e2e_wait_minutes_change "$before" 10)
        if [[ $start == first ]]; then
            [[ $after == 1 ]] || e2e_fail "minutes=$after after the first minute"
            [[ $(cat "$INI") == $'[ksv]\nminutes=1' ]] || e2e_fail "$INI holds: $(cat "$INI")"
            xprop -id "$wid" WM_CLASS | grep -qF "\"$wm_class\"" ||
                e2e_fail "the window's class is not StartupWMClass=$wm_class"
        else
            [[ $after == $((before + 1)) ]] || e2e_fail "minutes went from $before to $after"
        fi
        e2e_alive "$KSV_PID" || e2e_fail "the program ended"
        kill "$KSV_PID"
        wait "$KSV_PID" 2>/dev/null || true
        [[ $(ls -A "$bin_dir") == ksv ]] || e2e_fail "written beside the program: $(ls -A "$bin_dir")"
    done
done

echo "case: a read-only ksv.ini beside the program"
chmod u+w "$bin_dir"
printf '[ksv]\ntitle=AdminFile\nminutes=5\n' >"$bin_dir/ksv.ini"
chmod 0444 "$bin_dir/ksv.ini"
chmod 0555 "$bin_dir"
cp "$bin_dir/ksv.ini" "$E2E_DIR/admin-before"
cp "$INI" "$E2E_DIR/user-before"

e2e_start_ksv x60
wid=$(e2e_wait_window AdminFile)
e2e_wait_painted "$wid"
sleep 3.5
e2e_alive "$KSV_PID" || e2e_fail "the program ended"
cmp -s "$bin_dir/ksv.ini" "$E2E_DIR/admin-before" || e2e_fail "the file changed: $(cat "$bin_dir/ksv.ini")"
[[ $(stat -c %a "$bin_dir/ksv.ini") == 444 ]] || e2e_fail "the file's mode changed"
cmp -s "$INI" "$E2E_DIR/user-before" || e2e_fail "the user's file changed: $(cat "$INI")"
[[ $(ls -A "$bin_dir" | tr '\n' ' ') == "ksv ksv.ini " ]] || e2e_fail "written beside the program: $(ls -A "$bin_dir")"
e2e_shows_warning "$wid" || e2e_fail "the display is not in the warning colour"
echo PASS
