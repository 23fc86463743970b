#!/bin/bash
# talq as a person sees it in a terminal: run in a pseudo-terminal
# (script(1)), copy's last frame shows 100% and the size, every frame fits
# the terminal's width, a cancelled copy leaves a clean line and no
# destination file, and ls escapes control characters in names.
set -u
talq=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v script >/dev/null || { echo "script(1) not installed: skipped"; exit 0; }
head -c 9437184 /dev/zero >"$work/big.bin"   # 9.0 MiB
failures=0

script -qec "'$talq' copy '$work/big.bin' '$work/copy.bin'" /dev/null >"$work/screen" 2>&1
last=$(tr '\r' '\n' <"$work/screen" | grep -v '^\s*$' | tail -n 1)
[[ $last == *"100%"* && $last == *"9.0 / 9.0 MiB"* ]] ||
  { echo "FAIL last frame: '$last'"; failures=$((failures + 1)); }
frames=$(tr '\r' '\n' <"$work/screen" | grep -c '%')
[ "$frames" -ge 2 ] || { echo "FAIL only $frames frame(s) drawn"; failures=$((failures + 1)); }
cmp -s "$work/big.bin" "$work/copy.bin" || { echo "FAIL copy differs"; failures=$((failures + 1)); }

TALQ_CANCEL_AFTER_BYTES=1 script -qec "'$talq' copy '$work/big.bin' '$work/cancel.bin'; echo status=\$?" \
  /dev/null >"$work/screen" 2>&1
[ ! -e "$work/cancel.bin" ] || { echo "FAIL cancelled copy left its destination"; failures=$((failures + 1)); }
grep -q "status=130" "$work/screen" || { echo "FAIL cancelled copy's status"; failures=$((failures + 1)); }
# What stays on the screen: the cancel message on a line of its own, no bar.
visible=$(tr '\r' '\n' <"$work/screen" | grep -v '^\s*$' | grep -v '^status=' | tail -n 1)
[[ $visible == "talq copy: cancelled"* ]] || { echo "FAIL screen after cancel: '$visible'"; failures=$((failures + 1)); }

# In a narrow terminal every frame fits the width (no wrapping, no scrolling).
script -qec "stty cols 40; '$talq' copy '$work/big.bin' '$work/narrow.bin'" /dev/null >"$work/screen" 2>&1
widest=$(tr '\r' '\n' <"$work/screen" | awk '{ if (length($0) > w) w = length($0) } END { print w + 0 }')
[ "$widest" -lt 40 ] || { echo "FAIL a frame of $widest columns in a 40-column terminal"; failures=$((failures + 1)); }
tr '\r' '\n' <"$work/screen" | grep -q '100%' || { echo "FAIL narrow bar never reached 100%"; failures=$((failures + 1)); }

# ls on a terminal escapes control characters in names, as ls -b does.
mkdir "$work/names"
touch "$work/names/$(printf 'new\nline')" "$work/names/$(printf 'tab\there')"
script -qec "'$talq' ls '$work/names'" /dev/null >"$work/screen" 2>&1
grep -qF 'new\nline' "$work/screen" && grep -qF 'tab\there' "$work/screen" ||
  { echo "FAIL ls on a terminal: $(cat -A "$work/screen")"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "talq progress: ok"
