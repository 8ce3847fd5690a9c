# Helpers for the end-to-end tests: a private X server, a fresh directory
# holding a copy of the program (or the package, installed), and waits with
# deadlines. Sourced by bash.
set -euo pipefail

FAKETIME_LIB=${FAKETIME_LIB:-/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1}

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

e2e_need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || e2e_fail "$tool is missing (make deps installs it)"
    done
}

e2e_pids=()
# Stops what was started, the last first: the program ends before its X server.
e2e_cleanup() {
    local i
    for ((i = ${#e2e_pids[@]} - 1; i >= 0; i--)); do
        kill "${e2e_pids[i]}" 2>/dev/null || true
        wait "${e2e_pids[i]}" 2>/dev/null || true
    done
    if [[ -n ${E2E_DIR:-} && -d $E2E_DIR ]]; then
        # A test may have left its directory read-only.
        chmod -R u+w "$E2E_DIR" 2>/dev/null || true
        rm -rf "$E2E_DIR"
    fi
    return 0
}
trap e2e_cleanup EXIT

# A fresh directory with a copy of the program: ksv.ini lives beside it.
# Usage: e2e_copy_program /path/to/ksv
e2e_copy_program() {
    [[ -x $1 ]] || e2e_fail "no program at $1"
    E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/ksv-e2e.XXXXXX")
    # Whatever the program puts in the user's settings folder stays here.
    export XDG_CONFIG_HOME="$E2E_DIR/config"
    cp "$1" "$E2E_DIR/ksv"
    KSV_BIN="$E2E_DIR/ksv"
    INI="$E2E_DIR/ksv.ini"
}

# The copy and a private X server for it. Usage: e2e_setup /path/to/ksv
e2e_setup() {
    e2e_need Xvfb xdotool xprop import convert
    e2e_copy_program "$1"
    e2e_start_xvfb
}

# The Debian package unpacked into a fresh root, as dpkg would install it,
# whose usr/bin nobody may write (mode bits, so even for root). Sets
# E2E_ROOT and KSV_BIN; the test chooses HOME and INI.
# Usage: e2e_setup_installed /path/to/ksv.deb
e2e_setup_installed() {
    e2e_need Xvfb xdotool xprop import convert identify dpkg-deb
    [[ -f $1 ]] || e2e_fail "no package at $1"
    E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/ksv-e2e.XXXXXX")
    E2E_ROOT="$E2E_DIR/root"
    dpkg-deb -x "$1" "$E2E_ROOT"
    KSV_BIN="$E2E_ROOT/usr/bin/ksv"
    [[ -x $KSV_BIN ]] || e2e_fail "the package has no usr/bin/ksv"
    chmod 0555 "$E2E_ROOT/usr/bin"
    # Nothing lands in the directory the test was started from.
    cd "$E2E_DIR"
    e2e_start_xvfb
}

# Xvfb picks a free display itself (-displayfd), so tests can run side by side.
e2e_start_xvfb() {
    local fifo_file="$E2E_DIR/display"
    # A desktop session would provide it; Qt warns without one.
    export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
    : >"$fifo_file"
    # In a session of its own, so a Ctrl-C at the terminal reaches the script,
    # which stops the program before the server.
    setsid Xvfb -displayfd 9 -screen 0 640x480x24 -nolisten tcp 9>"$fifo_file" 2>"$E2E_DIR/xvfb.log" &
    e2e_pids+=($!)
    local i
    for ((i = 0; i < 100; i++)); do
        if [[ -s $fifo_file ]] && grep -q '^[0-9]' "$fifo_file"; then
            export DISPLAY=":$(head -n1 "$fifo_file")"
            return 0
        fi
        sleep 0.05
    done
    cat "$E2E_DIR/xvfb.log" >&2
    e2e_fail "Xvfb did not start"
}

# A headless Wayland compositor (sway), run as E2E_AS runs the program (sway
# refuses root); exports WAYLAND_DISPLAY.
e2e_start_sway() {
    e2e_need sway
    local runtime i socket
    runtime=$("${E2E_AS[@]}" printenv XDG_RUNTIME_DIR)
    printf 'xwayland disable\n' >"$E2E_DIR/sway.conf"
    setsid "${E2E_AS[@]}" env HOME="$E2E_DIR" WLR_BACKENDS=headless WLR_RENDERER=pixman \
        WLR_LIBINPUT_NO_DEVICES=1 sway -c "$E2E_DIR/sway.conf" >"$E2E_DIR/sway.log" 2>&1 &
    e2e_pids+=($!)
    for ((i = 0; i < 100; i++)); do
        for socket in "$runtime"/wayland-*; do
            if [[ -S $socket ]]; then
                export WAYLAND_DISPLAY=${socket##*/}
                return 0
            fi
        done
        sleep 0.1
    done
    cat "$E2E_DIR/sway.log" >&2
    e2e_fail "sway did not start"
}

# Writes to $1, until the test ends, what reaches the X root window: each
# startup-notification message ("startup remove: ID=...") and each request
# to activate a window ("active WINDOW TIME").
e2e_watch_root() {
    e2e_need /usr/bin/python3
    /usr/bin/python3 -u -c '
from Xlib import X, display
d = display.Display()
d.screen().root.change_attributes(event_mask=X.PropertyChangeMask | X.SubstructureNotifyMask)
d.sync()
print("ready")
begin, more, active = (d.intern_atom(name) for name in
    ("_NET_STARTUP_INFO_BEGIN", "_NET_STARTUP_INFO", "_NET_ACTIVE_WINDOW"))
text = b""
while True:
    e = d.next_event()
    if e.type != X.ClientMessage:
        continue
    data = bytes(e.data[1]) if e.data[0] == 8 else e.data[1]
    if e.client_type == active:
        print("active", e.window.id, data[1])
    elif e.client_type in (begin, more):
        text = (b"" if e.client_type == begin else text) + data
        if b"\0" in text:
            print("startup", text.split(b"\0")[0].decode())
' >"$1" 2>&1 &
    e2e_pids+=($!)
    e2e_poll_first 10 "cannot watch the root window (python3-xlib: make deps installs it)" sed -n "/^ready$/p" "$1" >/dev/null
}

# Sets E2E_CLOCK to the environment (for env) in which a minute passes in
# 60/speed seconds; $1 is the speed ("x60"), empty for real time.
e2e_clock() {
    E2E_CLOCK=()
    [[ -n $1 ]] || return 0
    [[ -r $FAKETIME_LIB ]] || e2e_fail "libfaketime is missing (make deps installs it)"
    E2E_CLOCK=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME="+0 $1" FAKETIME_NO_CACHE=1)
}

# Starts the copy; with a speed ("x60") a minute passes in 60/speed seconds.
# Further arguments go to the program. Sets KSV_PID.
e2e_start_ksv() {
    e2e_clock "${1:-}"
    shift || true
    "${E2E_AS[@]}" env "${E2E_CLOCK[@]}" "$KSV_BIN" "$@" >>"$E2E_DIR/ksv.log" 2>&1 &
    KSV_PID=$!
    e2e_pids+=("$KSV_PID")
    # Querying the server while the program still connects can break its
    # connection; give it a moment first.
    sleep 0.4
}

# Later starts run the program as an ordinary user, "nobody", when the tests
# run as root, whose power would read and write any file; e2e_as_self undoes it.
E2E_AS=()
e2e_as_unprivileged() {
    E2E_AS=()
    [[ $(id -u) -eq 0 ]] || return 0
    e2e_need setpriv
    # Its own folder, which no one else may write, as a portable copy's is.
    chown 65534 "$E2E_DIR"
    local runtime="$E2E_DIR/runtime-nobody"
    mkdir -p -m 0700 "$runtime"
    chown 65534 "$runtime"
    E2E_AS=(setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_RUNTIME_DIR="$runtime")
}
e2e_as_self() {
    E2E_AS=()
    chown "$(id -u)" "$E2E_DIR"
}

# Prints the ids of the shown windows whose title is exactly $1 (Qt keeps
# hidden windows of its own named after the program).
e2e_windows_named() {
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true
}

# Runs "$@" every 0.1 s for up to $1 seconds until it prints something;
# prints the first line of that, or fails with $2 (at once when "$@" fails).
e2e_poll_first() {
    local seconds=$1 failure=$2 i out
    shift 2
    for ((i = 0; i < seconds * 10; i++)); do
        out=$("$@") || e2e_fail "$failure"
        if [[ -n $out ]]; then
            head -n1 <<<"$out"
            return 0
        fi
        sleep 0.1
    done
    e2e_fail "$failure"
}

# Waits up to $2 seconds (default 10) for a window titled $1; prints its id.
e2e_wait_window() {
    local seconds=${2:-10}
    e2e_poll_first "$seconds" "no window titled '$1' within ${seconds}s" e2e_windows_named "$1"
}

# Fails once the process has ended.
e2e_visible_windows_of() {
    e2e_alive "$1" || return 1
    xdotool search --onlyvisible --pid "$1" 2>/dev/null || true
}

# Waits up to $2 seconds (default 10) for a shown window of process $1;
# prints its id.
e2e_wait_window_of() {
    local seconds=${2:-10}
    e2e_poll_first "$seconds" "process $1 ended or showed no window within ${seconds}s" \
        e2e_visible_windows_of "$1"
}

# The title of a window as a window manager reads it: the property $2
# (_NET_WM_NAME, UTF-8, unless given), or "<absent>".
e2e_title() {
    local property=${2:-_NET_WM_NAME} line
    line=$(xprop -id "$1" "$property")
    if [[ $line =~ ^$property\([A-Z0-9_]+\)\ =\ \"(.*)\"$ ]]; then
        echo "${BASH_REMATCH[1]}"
    elif [[ ! $line =~ ^$property\([A-Z0-9_]+\)\ =\ ?$ ]]; then
        echo "<absent>"
    fi
}

# Waits until the window has painted (more than one colour on it).
e2e_wait_painted() {
    local wid=$1 i colours
    for ((i = 0; i < 100; i++)); do
        colours=$(import -window "$wid" png:- 2>/dev/null | convert - -format '%k' info: 2>/dev/null || echo 0)
        if [[ ${colours:-0} -gt 1 ]]; then
            return 0
        fi
        sleep 0.1
    done
    e2e_fail "window $wid never painted"
}

# True when the window shows the warning colour of a failed save.
e2e_shows_warning() {
    local colours
    colours=$(import -window "$1" png:- 2>/dev/null | convert - -format %c histogram:info: 2>/dev/null)
    grep -qi 'C62828' <<<"$colours"
}

# The settings file as UTF-8 text, whether it is stored so or in UTF-16.
e2e_ini_text() {
    case $(head -c 2 "$INI" | od -An -tx1 | tr -d ' ') in
    fffe | feff) iconv -f UTF-16 -t UTF-8 "$INI" ;; # takes the mark off
    *) cat "$INI" ;;
    esac
}

# Waits up to $2 seconds until the file's minutes key is no longer $1 and
# prints the new value ("absent" while the file or key is missing).
e2e_minutes() {
    local value=absent
    if [[ -f $INI ]]; then
        # The first "minutes" of the first [ksv] section, names in any case.
        value=$(e2e_ini_text | tr -d '\r' | awk '
            /^[ \t]*\[/ { section = tolower($0); gsub(/[ \t\[\]]/, "", section); next }
            section == "ksv" && tolower($0) ~ /^[ \t]*minutes[ \t]*=/ {
                sub(/^[^=]*=[ \t]*/, ""); print; exit
            }')
        [[ -n $value ]] || value=absent
    fi
    echo "$value"
}
e2e_wait_minutes_change() {
    local from=$1 seconds=$2 i now
    for ((i = 0; i < seconds * 20; i++)); do
        now=$(e2e_minutes)
        if [[ $now != "$from" ]]; then
            echo "$now"
            return 0
        fi
        sleep 0.05
    done
    echo "$from"
}

# Fails unless the count goes on one minute at a time, $1 times (waiting up
# to $2 seconds for each): no copy but one counts.
e2e_counts_one_by_one() {
    local last next i
    last=$(e2e_minutes)
    for ((i = 0; i < $1; i++)); do
        next=$(e2e_wait_minutes_change "$last" "$2")
        [[ $next == $((last + 1)) ]] || e2e_fail "minutes went from $last to $next"
        last=$next
    done
}

# Clicks at a point of the window, in its own pixels.
e2e_click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

e2e_alive() {
    kill -0 "$1" 2>/dev/null
}

# Waits up to $2 seconds for process $1 to end; sets E2E_STATUS to its exit
# status, or "running". Call it directly, not in $(...): only the shell that
# started a process can collect its status.
e2e_wait_exit() {
    local pid=$1 seconds=$2 i
    E2E_STATUS=running
    for ((i = 0; i < seconds * 10; i++)); do
        if ! e2e_alive "$pid"; then
            E2E_STATUS=0
            wait "$pid" || E2E_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
}
