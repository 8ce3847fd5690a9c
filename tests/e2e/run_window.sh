#!/usr/bin/env bash
# scripts/run-window where no display answers: the real program in a virtual
# X server, a picture of its window, the ksv.ini it counts into, each save
# reported, and a Ctrl-C that leaves nothing behind. Where a display answers,
# the script becomes the program.
# Usage: run_window.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_need Xvfb xdotool xdpyinfo import convert identify pgrep
e2e_copy_program "$1"
run_window="$(cd "$(dirname "$0")/../.." && pwd)/scripts/run-window"
out="$E2E_DIR/out"
log="$out/run.log"
mkdir -p "$out"

# A display number nothing answers on.
dead=90
while [[ -e /tmp/.X11-unix/X$dead || -e /tmp/.X$dead-lock ]]; do
    dead=$((dead + 1))
done

# The first line the script printed that matches $1.
said() {
    grep -m1 -E -e "$1" "$log"
}

# For e2e_poll_first: the line if printed, nothing while the script runs on
# without it, a failure once it has ended.
printed() {
    said "$1" && return 0
    e2e_alive "$runner" || { cat "$log" >&2 && return 1; }
}

# DISPLAY ("-" unset) | reason printed | program directory's mode |
# ksv.ini beside the program before | XDG_CONFIG_HOME ("-" unset; HOME is
# $E2E_DIR/home) | the ksv.ini named | first save reported ("-": not waited for)
cases=(
    "-|neither DISPLAY nor WAYLAND_DISPLAY|755|-|-|$E2E_DIR/ksv.ini|minutes=1 (0:01)"
    ":$dead|display ':$dead' does not answer|755|-|$E2E_DIR/config|$E2E_DIR/ksv.ini|minutes=1 (0:01)"
    "-|neither|555|[ksv]\nminutes=59\n|$E2E_DIR/config|$E2E_DIR/ksv.ini|minutes=60 (1:00)"
    "-|neither|555|-|$E2E_DIR/config|$E2E_DIR/config/ksv/ksv.ini|-"
    "-|neither|555|-|config|$E2E_DIR/home/.config/ksv/ksv.ini|-"
)

e2e_clock x20
for case in "${cases[@]}"; do
    IFS='|' read -r display reason mode file config ini saved <<<"$case"
    echo "case: $case"
    chmod 0755 "$E2E_DIR"
    rm -rf "${E2E_DIR:?}"/{ksv.ini,config,home} "${out:?}"/*
    mkdir -p "$E2E_DIR/tmp"
    [[ $file == - ]] || printf "$file" >"$E2E_DIR/ksv.ini"
    chmod "$mode" "$E2E_DIR"
    # Font caches go where an ordinary user may write, the program's folder
    # being read-only in some cases.
    environment=(-u WAYLAND_DISPLAY -u DISPLAY -u XDG_CONFIG_HOME HOME="$E2E_DIR/home"
        TMPDIR="$E2E_DIR/tmp" XDG_CACHE_HOME="$out/cache")
    [[ $display == - ]] || environment+=(DISPLAY="$display")
    [[ $config == - ]] || environment+=(XDG_CONFIG_HOME="$config")
    INI=$ini
    from=$(e2e_minutes)

    # A job of its own, so that SIGINT is not ignored as in a background command.
    set -m
    env "${environment[@]}" "${E2E_CLOCK[@]}" "$run_window" "$E2E_DIR/ksv" "$out/window.png" \
        </dev/null >"$log" 2>&1 &
    runner=$!
    set +m
    e2e_pids+=("$runner")

    e2e_poll_first 30 "no line about Ctrl-C" printed 'Ctrl-C' >/dev/null
    head -n1 "$log" | grep -qF "$reason" || e2e_fail "first line: $(head -n1 "$log")"
    shot=$(said '^ +DISPLAY=:[0-9]+ import ') || e2e_fail "no command for another picture"
    number=${shot#*DISPLAY=:}
    number=${number%% *}
    said "virtual display :$number " >/dev/null || e2e_fail "the display is not named"
    said "picture of the window: $out/window.png\$" >/dev/null || e2e_fail "no picture path"
    said "counting into $ini \(" >/dev/null || e2e_fail "not the ksv.ini expected: $(cat "$log")"

    # The picture and the one the printed command takes show the window.
    (cd "$out" && eval "$shot")
    for picture in "$out/window.png" "$out/ksv-shot.png"; do
        [[ -f $picture ]] || e2e_fail "no picture at $picture"
        read -r width height colours < <(identify -format '%w %h %k\n' "$picture")
        ((colours > 1)) || e2e_fail "$picture has one colour"
        ((width >= 100 && width < 640 && height >= 60 && height < 480)) ||
            e2e_fail "$picture is ${width}x$height, not the window"
    done

    # What the script started: one X server, answering, and one program.
    xdpyinfo -display ":$number" >/dev/null 2>&1 || e2e_fail "display :$number does not answer"
    xvfb="" ksv=""
    for pid in $(pgrep -P "$runner"); do
        case $(readlink "/proc/$pid/exe") in
            "$E2E_DIR/ksv") ksv+=" $pid" ;;
            */Xvfb) xvfb+=" $pid" ;;
        esac
    done
    [[ $(wc -w <<<"$xvfb $ksv") -eq 2 && -n $xvfb ]] || e2e_fail "started: Xvfb '$xvfb', ksv '$ksv'"

    if [[ $saved != - ]]; then
        # A loaded machine may have let more minutes pass by now; the first
        # one reported is the first one saved.
        want=${saved#minutes=}
        want=${want%% *}
        now=$(e2e_wait_minutes_change "$from" 20)
        [[ $now != "$from" ]] && ((now >= want)) || e2e_fail "minutes=$now after a minute, expected $want"
        line=$(e2e_poll_first 10 "no save reported" printed '^ksv: saved ')
        [[ $line == "ksv: saved $saved" ]] || e2e_fail "reported '$line', expected '$saved'"
    fi

    kill -INT "$runner"
    e2e_wait_exit "$runner" 10
    [[ $E2E_STATUS == 0 ]] || e2e_fail "the script ended with status $E2E_STATUS after SIGINT"
    for pid in $xvfb $ksv; do
        if e2e_alive "$pid"; then
            e2e_fail "process $pid ($(cat "/proc/$pid/comm")) is left"
        fi
    done
    # Nothing but the script's own lines: the program ended before its display.
    ! grep -vE '^(ksv: |  +DISPLAY=)' "$log" || e2e_fail "unexpected output"
    [[ -z $(ls -A "$E2E_DIR/tmp") ]] || e2e_fail "left behind: $(ls -A "$E2E_DIR/tmp")"
    if [[ $saved != - ]]; then
        kept=$(e2e_minutes)
        ((kept >= want)) || e2e_fail "minutes=$kept after Ctrl-C, saved was $want"
    fi
done
chmod 0755 "$E2E_DIR"

# A display that answers: the script becomes the program, on that display.
echo "case: a display"
e2e_start_xvfb
"$run_window" "$E2E_DIR/ksv" "$out/unused.png" </dev/null >"$log" 2>&1 &
runner=$!
e2e_pids+=("$runner")
sleep 0.4
e2e_wait_window_of "$runner" >/dev/null
[[ $(readlink "/proc/$runner/exe") == "$E2E_DIR/ksv" ]] || e2e_fail "the script did not become the program"
[[ ! -s $log && ! -e $out/unused.png ]] || e2e_fail "fell back with a display: $(cat "$log")"
echo PASS
