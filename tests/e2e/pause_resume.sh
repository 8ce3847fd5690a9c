#!/usr/bin/env bash
# "停止" stops the count; "计时" resumes it a full minute later. Here a
# minute lasts three seconds.
# Usage: pause_resume.sh path/to/ksv
source "$(dirname "$0")/lib.sh"
e2e_setup "$1"

minute=3
printf '[ksv]\ntitle=PauseTest\nminutes=10\n' >"$INI"
e2e_start_ksv x20
wid=$(e2e_wait_window PauseTest)
e2e_wait_painted "$wid"

now=$(e2e_wait_minutes_change 10 $((minute * 3)))
[[ $now == 11 ]] || e2e_fail "minutes=$now after the first minute"

e2e_click "$wid" 100 80  # 停止
sleep $((minute + 1))
now=$(e2e_minutes)
[[ $now == 11 ]] || e2e_fail "minutes=$now while stopped"

e2e_click "$wid" 36 80  # 计时
resumed=$(date +%s%N)
now=$(e2e_wait_minutes_change 11 $((minute * 3)))
took_ms=$((($(date +%s%N) - resumed) / 1000000))
[[ $now == 12 ]] || e2e_fail "minutes=$now after resuming"
# A full minute after the click, not the rest of the one stopped earlier.
((took_ms >= minute * 1000 - 300)) || e2e_fail "resumed count came after ${took_ms} ms"
echo "resumed minute took ${took_ms} ms"
e2e_alive "$KSV_PID" || e2e_fail "the program ended"
echo PASS
