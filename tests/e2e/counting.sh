#!/usr/bin/env bash
# The real program in a real X server, a minute lasting a second: what it
# shows as the title and what it writes after the first minute.
# Usage: counting.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

# settings file (printf format; "-" for none) | title | minutes after one minute
cases=(
    "-|kesvo|1"
    "[ksv]\nminutes=59\n|kesvo|60"
    "[ksv]\ntitle=读书计时\nminutes=0\n|读书计时|1"
    "[ksv]\r\ntitle=\xb6\xc1\xca\xe9\r\nminutes=1439\r\n|读书|1440"
    "; notes\n[other]\nminutes=7\n[KSV]\nMinutes=2.5\n|kesvo|3.5"
)

for case in "${cases[@]}"; do
    IFS='|' read -r file title expected <<<"$case"
    echo "case: $case"
    rm -f "$INI"
    [[ $file == - ]] || printf "$file" >"$INI"
    before=$(e2e_minutes)

    # The program takes no command line: arguments, even Qt's own, change nothing.
    e2e_start_ksv x60 --help -platform none -title x "$E2E_DIR/other.ini"
    wid=$(e2e_wait_window_of "$KSV_PID")
    shown_title=$(e2e_title "$wid")
    [[ $shown_title == "$title" ]] || e2e_fail "title '$shown_title', expected '$title'"

    after=$(e2e_wait_minutes_change "$before" 10)
    [[ $after == "$expected" ]] || e2e_fail "minutes=$after after one minute, expected $expected"
    grep -qi '^\[ksv\]' "$INI" || e2e_fail "no [ksv] section: $(cat "$INI")"
    if [[ $file == - ]]; then
        # A first run writes the count and nothing else.
        grep -q 'title' "$INI" && e2e_fail "a title was written: $(cat "$INI")"
        [[ $(grep -c . "$INI") -eq 2 ]] || e2e_fail "unexpected lines: $(cat "$INI")"
    fi
    e2e_alive "$KSV_PID" || e2e_fail "the program ended"
    kill "$KSV_PID"
    wait "$KSV_PID" 2>/dev/null || true
done
echo PASS
