#!/usr/bin/env bash
# The real program in a real X server, a minute lasting a second: what it
# shows as the title and what it writes after the first minute.
# Usage: counting.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

# settings file (printf format; "-" for none) | title | minutes after one
# minute | the file's encoding (UTF-8 or the system's when empty)
cases=(
    "-|kesvo|1"
    "[ksv]\nminutes=59\n|kesvo|60"
    "[ksv]\ntitle=读书计时\nminutes=0\n|读书计时|1"
    "[ksv]\r\ntitle=\xb6\xc1\xca\xe9\r\nminutes=1439\r\n|读书|1440"
    "; notes\n[other]\nminutes=7\n[KSV]\nMinutes=2.5\n|kesvo|3.5"
    # The title bar shows the stored title exactly: empty, or with Qt's
    # "modified" placeholder in it.
    "[ksv]\ntitle=\nminutes=0\n||1"
    "[ksv]\ntitle=a[*]b [*][*]\nminutes=0\n|a[*]b [*][*]|1"
    # Saved as "Unicode" by Notepad: read, and written back in UTF-16.
    "\xef\xbb\xbf[ksv]\r\ntitle=读书\r\nminutes=65\r\n; 备注\r\n|读书|66|UTF-16LE"
    "\xef\xbb\xbf[ksv]\r\nminutes=5\r\n|kesvo|6|UTF-16BE"
)

for case in "${cases[@]}"; do
    IFS='|' read -r file title expected encoding <<<"$case"
    echo "case: $case"
    rm -f "$INI"
    if [[ -n $encoding ]]; then
        printf "$file" | iconv -f UTF-8 -t "$encoding" >"$INI"
    elif [[ $file != - ]]; then
        printf "$file" >"$INI"
    fi
    before=$(e2e_minutes)

    # The program takes no command line: arguments, even Qt's own, change nothing.
    e2e_start_ksv x60 --help -platform none -title x "$E2E_DIR/other.ini"
    wid=$(e2e_wait_window_of "$KSV_PID")
    shown_title=$(e2e_title "$wid")
    [[ $shown_title == "$title" ]] || e2e_fail "title '$shown_title', expected '$title'"
    if [[ $title =~ ^[[:print:]]*$ ]]; then
        wm_name=$(e2e_title "$wid" WM_NAME)
        [[ $wm_name == "$title" ]] || e2e_fail "WM_NAME '$wm_name', expected '$title'"
    fi

    after=$(e2e_wait_minutes_change "$before" 10)
    [[ $after == "$expected" ]] || e2e_fail "minutes=$after after one minute, expected $expected"
    grep -qi '^\[ksv\]' <(e2e_ini_text) || e2e_fail "no [ksv] section: $(cat "$INI")"
    if [[ -n $encoding ]]; then
        # Only the count changed; the mark and every other character stayed.
        printf "$file" | sed "s/^minutes=$before/minutes=$expected/" |
            iconv -f UTF-8 -t "$encoding" | cmp -s - "$INI" ||
            e2e_fail "the file is now $(od -c "$INI" | head -5)"
    fi
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
