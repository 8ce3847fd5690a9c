#!/usr/bin/env bash
# The real window under Wine, driven from outside by driver.exe.
# Usage: e2e.sh BIN_DIR SCENARIO, with WINEPREFIX and WINELOADER set and an X display.
# The program under test is ksv_fastclock.exe, whose minute lasts 2 s.
set -euo pipefail

bin=$1
scenario=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/ksv_fastclock.exe" "$work/"
cd "$work"

# Wine's own start-up, first paint and the emulated CPU of a slow CI machine
# need far more than the program itself.
slow=120000
drive() { "$WINELOADER" "$bin/driver.exe" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }

case $scenario in
first-run)
    drive start ksv_fastclock.exe window $slow \
        expect title kesvo expect label1 0:00 expect label2 0 \
        expect option1 1 expect option2 0 expect label2visible 0 expect focus 103 \
        expect sizable 0 expect maximizable 0 expect client 151x112 \
        file ksv.ini '<absent>' \
        wait label1 0:01 5000 expect label2 1 \
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
        wait label1 1:00 5000 expect label2 60 \
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
*)
    fail "unknown scenario $scenario"
    ;;
esac
echo "ok $scenario"
