#!/usr/bin/env bash
# Checks the built ksv.exe as a file: the expected PE kind, a GUI program for
# Windows 7 and later, a manifest that asks for its own architecture, its
# version record, imports from none but the DLLs every start loads anyway
# (nothing to ship beside it; the rest is loaded when a run needs it), and its
# size.
# Usage: check-exe.sh OBJDUMP EXE MAGIC   (MAGIC 010b: PE32, 020b: PE32+)
set -euo pipefail
objdump=$1 exe=$2 magic=$3
headers=$("$objdump" -p "$exe")
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || fail "not a PE file of kind $magic"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a Windows GUI program"

# Windows 7 (6.1) is the oldest system it runs on; the header says so.
for field in OSystemVersion SubsystemVersion; do
    major=$(sed -n "s/^Major${field}[[:space:]]*//p" <<<"$headers")
    minor=$(sed -n "s/^Minor${field}[[:space:]]*//p" <<<"$headers")
    [[ "$major.$minor" == 6.1 ]] || fail "the header's $field is $major.$minor, not 6.1 (Windows 7)"
done

# A manifest naming another architecture makes Windows load the other
# architecture's common controls, and the program does not start.
[[ $magic == 010b ]] && arch=x86 || arch=amd64
manifest=$(strings -a "$exe" | grep -o 'processorArchitecture="[^"]*"' | sort -u)
[[ $manifest == "processorArchitecture=\"$arch\"" ]] ||
    fail "the manifest asks for ${manifest:-no architecture}, not $arch"

# The version record: 11.12.0029, Chinese (PRC) with Unicode text.
record=$(strings -el "$exe")
grep -qx '11.12.0029' <<<"$record" || fail "no version 11.12.0029 in the version record"
grep -qx '080404B0' <<<"$record" || fail "the version record is not Chinese (PRC), Unicode"

# shell32, ole32, oleaut32 and oleacc cost a start its time under Wine and
# are not needed by most starts: they are loaded when needed, not imported.
start_dlls='^(kernel32|user32|gdi32|comctl32|msvcrt|advapi32)\.dll$'
while read -r dll; do
    grep -Eqi "$start_dlls" <<<"$dll" || fail "imports $dll, which not every start needs"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")

# It was once 1.5 MB: what brings the C++ library's heavy parts back in
# (std::filesystem, std::to_chars, its exception classes) fails here.
limit=$((200 * 1024))
size=$(stat -c %s "$exe")
((size <= limit)) || fail "$size bytes, more than the $limit allowed"

echo "$(basename "$exe"): $(stat -c %s "$exe") bytes, imports" \
    $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort -f | tr '\n' ' ')
