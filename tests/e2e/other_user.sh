#!/usr/bin/env bash
# Another user can neither stop ksv, nor take its count, nor make it write
# anywhere but its own settings file. The user's copy, and the file its
# settings link to, lie in a folder everyone may write (as /tmp), where the
# other user put a ksv.ini linking to the user's notes, a folder at the old
# temporary name and a lock file it holds. A second copy in a network
# namespace of its own does not count too. Plays both users: needs root.
# Usage: other_user.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: needs root, to act as two users (the test suite runs as $(id -un))"
    exit 77
fi
e2e_need setpriv unshare flock
e2e_setup "$1"

user=65534 other=64011 # nobody, and a user without an account (setpriv needs none)
chmod 0755 "$E2E_DIR"
home="$E2E_DIR/home" shared="$E2E_DIR/shared"
mkdir -p "$home/.config/ksv" "$shared" "$E2E_DIR/run"
printf 'my notes\n' >"$home/notes.txt"
INI="$shared/count.ini"
printf '[ksv]\ntitle=UsersOwn\nminutes=100\n' >"$INI"
ln -s "$INI" "$home/.config/ksv/ksv.ini"
mv "$KSV_BIN" "$shared/ksv" && KSV_BIN="$shared/ksv"
chown -h "$user:$user" -R "$home" "$E2E_DIR/run" "$INI" "$KSV_BIN"
chmod 1777 "$shared"

as_other() { setpriv --reuid=$other --regid=$other --clear-groups "$@"; }
as_other ln -s "$home/notes.txt" "$shared/ksv.ini"
as_other mkdir "$shared/count.ini.tmp"
as_other bash -c 'exec 9>"$1" && flock 9 && exec sleep 600' _ "$shared/count.ini.lock" \
    </dev/null >/dev/null 2>&1 &
e2e_pids+=($!)
sleep 0.5
planted=$(ls -A "$shared" | tr '\n' ' ')

E2E_AS=(setpriv --reuid=$user --regid=$user --clear-groups
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$E2E_DIR/run")
e2e_start_ksv x60
first=$KSV_PID
# The other user's ksv.ini beside the program is named, not used.
box=$(e2e_wait_window ksv 10) && xdotool windowfocus --sync "$box" key Return
e2e_wait_window UsersOwn 10 >/dev/null
now=$(e2e_wait_minutes_change 100 10)
[[ $now == 101 ]] || e2e_fail "minutes=$now after the first minute"

# Abstract sockets do not cross into the sandbox, so it cannot call the first
# copy up and says that ksv runs; the lock keeps it from counting.
if unshare --net true 2>/dev/null; then
    E2E_AS=(unshare --net "${E2E_AS[@]}") && e2e_start_ksv x60
    box=$(e2e_wait_window ksv 10) && e2e_counts_one_by_one 2 5
    xdotool windowfocus --sync "$box" key Return && e2e_wait_exit "$KSV_PID" 10
    [[ $E2E_STATUS == 0 ]] || e2e_fail "the sandboxed copy: status $E2E_STATUS"
else
    echo "SKIP: the sandboxed copy, as no network namespace can be made here"
fi
e2e_alive "$first" || e2e_fail "the first copy ended"

[[ $(cat "$home/notes.txt") == "my notes" ]] || e2e_fail "the notes changed: $(cat "$home/notes.txt")"
[[ $(ls -A "$shared" | tr '\n' ' ') == "$planted" ]] || e2e_fail "the shared folder holds: $(ls -A "$shared")"
[[ $(ls -A "$home/.config/ksv" | tr '\n' ' ') == "ksv-"*".lock ksv.ini " ]] ||
    e2e_fail "the settings folder holds: $(ls -A "$home/.config/ksv")"
echo PASS
