#!/usr/bin/env bash
# The real window under Wine, driven from outside by driver.exe.
# Usage: e2e.sh BIN_DIR SCENARIO, with WINEPREFIX and WINELOADER set and an X display.
# The program under test is ksv_fastclock.exe, whose minute lasts 2 s.
set -euo pipefail

bin=$1
scenario=$2
work=$(mktemp -d)
trap 'chattr -R -i "$work" 2>/dev/null || true; chmod -R u+w "$work"; rm -rf "$work"' EXIT
cp "$bin/ksv_fastclock.exe" "$work/"
cd "$work"

# Wine's own start-up, first paint and the emulated CPU of a slow CI machine
# need far more than the program itself.
slow=120000
drive() { "$WINELOADER" "$bin/driver.exe" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }

# Takes from this user the right to write a file or to make files in a
# folder, in a way Wine honours without marking the file read-only: the mode
# bits for an ordinary user; the immutable flag for root, whom the mode bits
# do not stop.
forbid_writes() {
    if ((EUID != 0)); then
        if [[ -d $1 ]]; then chmod 0555 "$1"; else chmod 0464 "$1"; fi
    elif ! chattr +i "$1" 2>/dev/null; then
        echo "SKIP $scenario: running as root, and chattr +i does not work here" >&2
        exit 0
    fi
}
allow_writes() { chattr -i "$1" 2>/dev/null || true; chmod u+w "$1"; }
names() { LC_ALL=C ls -A | tr '\n' ' '; }

case $scenario in
first-run)
    drive start ksv_fastclock.exe window $slow \
        expect title kesvo expect label1 0:00 expect label2 0 \
        expect option1 1 expect option2 0 expect label2visible 0 expect focus 103 \
        expect sizable 0 expect maximizable 0 expect client 151x112 \
        expect accname '已计时 0 小时 0 分钟' file ksv.ini '<absent>' \
        wait label1 0:01 5000 expect label2 1 expect accname '已计时 0 小时 1 分钟' \
        waitfile ksv.ini '[ksv]\r\nminutes=1\r\n' 2000 \
        click option2 close exit 0 $slow
    # Closing saves nothing: the file holds the last completed minute.
    [[ $(cat ksv.ini) == $'[ksv]\r\nminutes=1\r' ]] || fail "ksv.ini changed at close"
    ;;
fifty-nine)
    ini() { printf '[other]\r\nminutes=5\r\n[KSV]\r\nTitle='; gbk '分钟计时'; printf '\r\nminutes=%s\r\n' "$1"; }
    ini 59 >ksv.ini
    ini 60 >expected.ini
    drive start ksv_fastclock.exe window $slow \
        expect title 分钟计时 expect label1 0:59 \
        wait label1 1:00 5000 expect label2 60 expect accname '已计时 1 小时 0 分钟' \
        click option2 close exit 0 $slow
    # Only the minutes line changed, in the file's own code page.
    cmp -s ksv.ini expected.ini || fail "ksv.ini is $(od -c ksv.ini)"
    ;;
pause-resume)
    printf '[ksv]\r\nminutes=10\r\n' >ksv.ini
    # Paused for a minute and a half, no tick; the next one a full minute
    # after the resume. A click on the selected option keeps the running minute.
    drive start ksv_fastclock.exe window $slow expect label1 0:10 \
        click option2 expect option1 0 expect option2 1 paused label2 3000 \
        click option2 expect option2 1 paused label2 1000 \
        resumed label2 2000 8000 expect option1 1 expect option2 0 \
        sleep 1200 resumed label2 0 1500 \
        click option2 close exit 0 $slow
    [[ $(cat ksv.ini) == $'[ksv]\r\nminutes=12\r' ]] || fail "ksv.ini is $(cat ksv.ini)"
    ;;
read-only)
    printf '[ksv]\r\nminutes=5\r\n' >ksv.ini
    chmod a-w ksv.ini
    drive start ksv_fastclock.exe window $slow expect label1 0:05 \
        wait label1 0:06 5000 wait label1 0:07 5000 \
        file ksv.ini '[ksv]\r\nminutes=5\r\n' \
        click option2 close exit 0 $slow
    chmod u+w ksv.ini
    drive start ksv_fastclock.exe window $slow expect label1 0:05 close exit 0 $slow
    ;;
unreadable)
    for value in abc '' 99999999999999999999; do
        printf '[ksv]\r\nminutes=%s\r\n' "$value" >ksv.ini
        cp ksv.ini before.ini
        # The message names the file; the window never appears.
        drive start ksv_fastclock.exe message $slow 'ksv.ini' nowindow 500 exit 1 $slow
        cmp -s ksv.ini before.ini || fail "ksv.ini changed for minutes=$value"
    done
    # A count the next minute cannot show: the tick ends the program with the
    # message, in Chinese, and a non-zero status; the file keeps the last count.
    printf '[ksv]\r\nminutes=9223372036854775807\r\n' >ksv.ini
    cp ksv.ini before.ini
    drive start ksv_fastclock.exe window $slow expect label1 153722867280912930:07 \
        message 5000 'ksv.ini|太大' exit 1 $slow
    cmp -s ksv.ini before.ini || fail "ksv.ini changed at the tick"
    ;;
second-copy)
    printf '[ksv]\r\nminutes=7\r\n' >ksv.ini
    # The second copy ends at once without a message and leaves the file;
    # the first goes on.
    drive start ksv_fastclock.exe window $slow click option2 \
        start ksv_fastclock.exe exit 0 $slow \
        expect label2 7 close exit 0 $slow
    [[ $(cat ksv.ini) == $'[ksv]\r\nminutes=7\r' ]] || fail "ksv.ini is $(cat ksv.ini)"
    ;;
not-writable)
    # A ksv.ini this user may not write, though not marked read-only: the
    # display counts on, and every save is refused before anything is made.
    printf '[ksv]\r\nminutes=5\r\n' >ksv.ini
    cp ksv.ini before.ini
    forbid_writes ksv.ini
    drive start ksv_fastclock.exe window $slow expect label1 0:05 \
        wait label1 0:06 5000 wait label1 0:07 5000 \
        click option2 close exit 0 $slow
    cmp -s ksv.ini before.ini || fail "ksv.ini is $(cat ksv.ini)"
    # The lock file stays, hidden, for this user alone to open.
    [[ $(names) == 'before.ini ksv.ini ksv.ini.lock ksv_fastclock.exe ' ]] || fail "left behind: $(names)"
    ;;
installed)
    # A ksv.exe where this user may not write (C:\Program Files): the count
    # lives in %APPDATA%\ksv and goes on there at the next start; nothing is
    # written beside the program.
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/ksv
    forbid_writes "$work"
    drive start ksv_fastclock.exe window $slow expect label1 0:00 wait label1 0:01 5000 \
        waitfile '%APPDATA%\ksv\ksv.ini' '[ksv]\r\nminutes=1\r\n' 2000 \
        click option2 close exit 0 $slow \
        start ksv_fastclock.exe window $slow expect label1 0:01 click option2 close exit 0 $slow
    [[ $(names) == 'ksv_fastclock.exe ' ]] || fail "written beside the program: $(names)"
    # A ksv.ini already there is used, and saved where it is.
    allow_writes "$work"
    printf '[ksv]\r\nminutes=5\r\n' >ksv.ini
    forbid_writes "$work"
    drive start ksv_fastclock.exe window $slow expect label1 0:05 wait label1 0:06 5000 \
        waitfile ksv.ini '[ksv]\r\nminutes=6\r\n' 2000 \
        file '%APPDATA%\ksv\ksv.ini' '[ksv]\r\nminutes=1\r\n' \
        click option2 close exit 0 $slow
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/ksv
    ;;
msi)
    # The package that ships, then a later one with the fast-clock program,
    # which replaces it. The installed program counts into %APPDATA%\ksv,
    # never beside itself, and uninstalling leaves that count alone.
    home=$(cd "$WINEPREFIX"/drive_c/users/*/AppData/.. && pwd)
    program=$home/AppData/Local/Programs/ksv
    shortcut="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/ksv 分钟计时器.lnk"
    msiexec() { "$WINELOADER" msiexec "$@" /qn </dev/null || fail "msiexec $* exited with $?"; }
    # Apps & features: "version publisher MsiExec.exe /X{code}" of each ksv.
    entries() {
        for hive in HKCU HKLM; do
            "$WINELOADER" reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s || true
        done 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r' |
            awk -v RS= -F '\n' '/\n +DisplayName +REG_SZ +ksv 分钟计时器(\n|$)/ {
            delete e; for (i = 1; i <= NF; i++) { split($i, f, "    "); e[f[2]] = f[4] }
            print e["DisplayVersion"], e["Publisher"], e["UninstallString"] }'
    }
    uninstall() { entries | while read -r _ _ _ code; do msiexec "$code"; done; }
    uninstall  # what a failed run left
    rm -rf "$program" "$home/AppData/Roaming/ksv"
    rmdir "${program%/ksv}" 2>/dev/null || true
    before=$(ls -A "$home/AppData/Local")

    msiexec /i "$bin/ksv.msi"
    cmp -s "$program/ksv.exe" "$bin/ksv.exe" && [[ -f $shortcut ]] || fail "not installed"
    first=$(entries)
    [[ $first =~ ^[0-9]+\.[0-9]+\.[0-9]{4}\ ksv\ MsiExec.exe\ /X\{[0-9A-F-]+\}$ ]] || fail "entry: $first"
    drive start '%LOCALAPPDATA%\Programs\ksv\ksv.exe' window $slow close exit 0 $slow
    msiexec /i "$bin/ksv_fastclock.msi"
    cmp -s "$program/ksv.exe" "$bin/ksv_fastclock.exe" || fail "not upgraded"
    [[ $(entries | wc -l) == 1 && $(entries) != "$first" ]] || fail "entries: $(entries)"
    drive start '%LOCALAPPDATA%\Programs\ksv\ksv.exe' window $slow wait label1 0:01 5000 \
        waitfile '%APPDATA%\ksv\ksv.ini' '[ksv]\r\nminutes=1\r\n' 2000 click option2 close exit 0 $slow
    [[ $(ls -A "$program") == ksv.exe ]] || fail "written beside the program: $(ls -A "$program")"
    uninstall
    [[ $(ls -A "$home/AppData/Local") == "$before" && ! -e $shortcut && -z $(entries) ]] ||
        fail "left behind: $(ls -AR "$home/AppData/Local")"
    [[ $(cat "$home/AppData/Roaming/ksv/ksv.ini") == $'[ksv]\r\nminutes=1\r' ]] || fail "ksv.ini lost"
    rm -rf "$home/AppData/Roaming/ksv"
    ;;
in-use)
    # Held by another program without sharing (a virus scanner, a backup):
    # tried for about two seconds. Released in time, ksv starts and counts;
    # held on, it says so, naming the file, and ends before its window shows,
    # the file untouched.
    printf '[ksv]\r\ntitle=held\r\nminutes=5\r\n' >ksv.ini
    cp ksv.ini before.ini
    drive hold ksv.ini start ksv_fastclock.exe message $slow 'ksv.ini|占用' nowindow 500 \
        exit 1 $slow release ksv.ini
    cmp -s ksv.ini before.ini || fail "ksv.ini is $(cat ksv.ini)"
    drive hold ksv.ini start ksv_fastclock.exe created $slow sleep 800 release ksv.ini \
        window $slow expect title held expect label1 0:05 wait label1 0:06 5000 \
        waitfile ksv.ini '[ksv]\r\ntitle=held\r\nminutes=6\r\n' 2000 \
        click option2 close exit 0 $slow
    ;;
utf-16)
    # Saved as "Unicode" by Notepad, and in the other byte order: the title
    # shows, a tick changes the minutes and nothing else, and the file stays
    # UTF-16 with its byte-order mark and a character no ANSI code page has.
    for encoding in UTF-16LE UTF-16BE; do
        ini() {
            printf '\xEF\xBB\xBF; 备注 \xF0\x9F\x98\x80\r\n[ksv]\r\ntitle=分钟计时\r\nminutes=%s\r\n' "$1" |
                iconv -f UTF-8 -t $encoding
        }
        ini 59 >ksv.ini
        ini 60 >expected.ini
        drive start ksv_fastclock.exe window $slow \
            expect title 分钟计时 expect label1 0:59 wait label1 1:00 5000 \
            click option2 close exit 0 $slow
        cmp -s ksv.ini expected.ini || fail "$encoding: ksv.ini is $(od -An -tx1 ksv.ini)"
    done
    ;;
*)
    fail "unknown scenario $scenario"
    ;;
esac
echo "ok $scenario"
